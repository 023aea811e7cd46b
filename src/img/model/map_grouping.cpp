#include "img/model/map_grouping.h"

#include <cstring>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/fat.h"

namespace {

constexpr Msg kWrongFat{"Wrong FAT for subfile %s, file %s.\n", "Zły FAT podzbioru %s, plik %s.\n"};

// Whether a subfile of `kind` may join a group of `groupKind`.
bool compatible(MapKind groupKind, MapKind kind) {
    auto mapLike = [](MapKind k) { return k == searchIndex || k == mpcMap || k == ntMap; };
    return kind == groupKind || (groupKind == sortTable && mapLike(kind)) || (kind == sortTable && mapLike(groupKind));
}

void takeHeaders(const InputFile& input, MapEntry& map, int index) {
    const Subfile& s = input.subfiles[index];
    if (map.treSubfile < 0 && s.tre) {
        map.treSubfile = index;
        map.mapId = s.tre->mapId;
        if (s.tre->hasDem) map.hasDem = 1;
        if (s.tre->hasRouting) map.hasRouting = 1;
    }
    if (map.lblSubfile < 0 && s.lbl) {
        map.lblSubfile = index;
        map.codePage = s.lbl->codePage;
    }
    if (map.demSubfile < 0 && s.dem) map.demSubfile = index;
    if (map.auxSubfile < 0 && s.aux) {
        map.auxSubfile = index;
        map.codePage = s.aux->codePage;
    }
    if (s.type == typeDem) map.hasDem = 1;
    if (s.type == typeNod) map.hasRouting = 1;
    if (s.bad) ++map.badCount;
}

}  // namespace

bool readSubfileHeaders(InputFile& input, Subfile& s) {
    const SubfileSource source = sourceOf(input, s);
    bool badSignature = false;
    const HeaderRead ok = HeaderRead::ok;
    if (readTreInfo(source, s.type, s.tre, s.gmpParts) != ok || readLblInfo(source, s.type, s.lbl) != ok ||
        readDemInfo(source, s.type, s.dem) != ok || readAuxInfo(source, s.type, s.aux, badSignature) != ok)
        return false;
    if (badSignature) {
        s.type = typeOther;
        s.bad = 1;
    }
    return true;
}

bool analyseFat(InputFile& input) {
    std::vector<FatSubfile> listed;
    if (!sortFat(input.img, listed)) return false;
    if (listed.empty()) return true;
    if (!allocChecked(input.subfiles, listed.size()) || !allocChecked(input.subfileIndex, listed.size())) return false;
    for (const FatSubfile& f : listed) input.subfileIndex[f.fatOrder].fatOffset = f.fatOffset;

    for (std::size_t i = 0; i < listed.size(); ++i) {
        const FatSubfile& f = listed[i];
        Subfile& s = input.subfiles[i];
        std::memcpy(s.name.c, input.img.headerBytes.data() + f.fatOffset + 1, 11);
        s.type = subfileTypeOf(s.name.c + 8);
        s.size = f.size;
        s.firstFat = f.firstFat;
        s.fatOffset = f.fatOffset;
        SubfileIndexEntry& slot = input.subfileIndex[f.fatOrder];
        slot.fatIndex = f.firstFat;
        slot.subfile = static_cast<int>(i);
        if (!chainComplete(input.img, f)) {
            say(kWrongFat, s.name, input.path);
            return false;
        }
        if (!readSubfileHeaders(input, s)) return false;
    }
    return true;
}

bool groupMaps(InputFile& input) {
    std::vector<MapEntry>& maps = input.maps;
    maps.clear();
    MapEntry* current = nullptr;
    for (std::size_t i = 0; i < input.subfiles.size(); ++i) {
        Subfile& s = input.subfiles[i];
        if (s.type == typeNone) continue;
        MapKind kind = kindOf(s.type);
        std::uint32_t bit = 1u << s.type;
        bool joins = current && !(current->typeMask & bit) && compatible(current->kind, kind) &&
                     std::memcmp(current->name.c, s.name.c, 8) == 0 &&
                     (kind != otherData || std::memcmp(current->ext, s.name.c + 8, 3) == 0);
        if (!joins) {
            MapEntry m;
            std::memcpy(m.name.c, s.name.c, 8);
            if (kind == otherData) std::memcpy(m.ext, s.name.c + 8, 3);
            m.kind = kind;
            m.firstSubfile = static_cast<std::uint32_t>(i);
            if (current && std::memcmp(current->name.c, m.name.c, 8) == 0 && current->kind == kind)
                m.dupIndex = current->dupIndex + 1;
            maps.push_back(m);
            current = &maps.back();
        } else if (current->kind == sortTable) {
            current->kind = kind;
        }
        current->typeMask |= bit;
        current->totalSize += s.size;
        ++current->subfileCount;
        s.map = static_cast<int>(maps.size() - 1);
        takeHeaders(input, *current, static_cast<int>(i));
    }

    input.mapList.clear();
    std::vector<bool> listed(maps.size(), false);
    for (const SubfileIndexEntry& slot : input.subfileIndex) {
        if (slot.subfile < 0) continue;
        int m = input.subfiles[slot.subfile].map;
        if (m >= 0 && !listed[m]) {
            listed[m] = true;
            input.mapList.push_back(m);
        }
    }

    for (int m : input.mapList) {
        MapEntry& map = maps[m];
        if (map.mapId == 0 && (map.kind == mpcMap || map.kind == ntMap) && static_cast<unsigned char>(map.name.c[7]) > ' ')
            map.mapId = mapIdFromName(map.name.c);
    }
    return true;
}
