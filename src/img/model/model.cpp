#include "img/model/model.h"

namespace {

const Subfile* member(const InputFile& input, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < input.subfiles.size() ? &input.subfiles[index] : nullptr;
}

bool hexDigit(char c, std::uint32_t& v) {
    if (c >= '0' && c <= '9') v = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') v = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') v = static_cast<std::uint32_t>(c - 'A' + 10);
    else return false;
    return true;
}

}  // namespace

const TreInfo* mapTre(const InputFile& input, const MapEntry& map) {
    const Subfile* s = member(input, map.treSubfile);
    return s && s->tre ? &*s->tre : nullptr;
}

const LblInfo* mapLbl(const InputFile& input, const MapEntry& map) {
    const Subfile* s = member(input, map.lblSubfile);
    return s && s->lbl ? &*s->lbl : nullptr;
}

const DemInfo* mapDem(const InputFile& input, const MapEntry& map) {
    const Subfile* s = member(input, map.demSubfile);
    return s && s->dem ? &*s->dem : nullptr;
}

const AuxInfo* mapAux(const InputFile& input, const MapEntry& map) {
    const Subfile* s = member(input, map.auxSubfile);
    return s && s->aux ? &*s->aux : nullptr;
}

OutputPlace outputPlace(const InputList& inputs, const std::string& dir) {
    OutputPlace place;
    place.dir = dir;
    for (const InputFile& input : inputs)
        if (input.identityKnown) place.inputs.push_back(input.identity);
    return place;
}

SubfileSource sourceOf(InputFile& input, const Subfile& subfile) { return {&input, subfile.firstFat, subfile.size}; }

std::uint32_t mapNumber(const InputFile& input, const MapEntry& map) {
    const TreInfo* tre = mapTre(input, map);
    if (tre && tre->mapId >= 1 && tre->mapId <= kMaxMapId) return tre->mapId;
    return mapIdFromName(map.name.c);
}

std::uint32_t mapIdFromName(const char* name) {
    std::uint64_t value = 0;
    if (name[0] == 'I') {
        for (int i = 1; i < 8; ++i) {
            std::uint32_t d;
            if (!hexDigit(name[i], d)) return 0;
            value = value * 16 + d;
        }
    } else {
        for (int i = 0; i < 8; ++i) {
            if (name[i] < '0' || name[i] > '9') return 0;
            value = value * 10 + static_cast<std::uint64_t>(name[i] - '0');
        }
    }
    return value != 0 && value <= kMaxMapId ? static_cast<std::uint32_t>(value) : 0;
}
