#include "img/model/container_plan.h"

#include <algorithm>

#include "img/container/img_writer.h"
#include "img/format/nt_convert.h"

namespace {

bool isExcluded(const std::vector<std::uint8_t>* excluded, std::size_t map) {
    return excluded && map < excluded->size() && (*excluded)[map];
}

// Calls `take(length)` for every subfile of an input the copy writes, with
// the parts of a map that -z puts into one GMP counted as one.
template <class Take>
void forEachWritten(const InputFile& input, const CopySettings& copy, const std::vector<std::uint8_t>* excluded,
                    Take take) {
    if (input.inputKind != noKind) {
        take(input.rawLength);
        return;
    }
    for (const Subfile& s : input.subfiles) {
        if (s.map < 0) continue;
        const MapEntry& map = input.maps[s.map];
        if (isExcluded(excluded, s.map) || map.kind == mpcMap || s.type == typeMps) continue;
        take(s.size);
    }
    for (std::size_t m = 0; m < input.maps.size(); ++m) {
        const MapEntry& map = input.maps[m];
        if (isExcluded(excluded, m) || map.kind != mpcMap) continue;
        std::uint64_t combined = 0;
        for (std::uint32_t i = 0; i < map.subfileCount; ++i) {
            const Subfile& s = input.subfiles[map.firstSubfile + i];
            if (copy.excludeTypes & (1u << s.type)) continue;
            if (copy.ntFormat && isGmpPart(s.type)) combined += s.size;
            else take(s.size);
        }
        if (combined) take(combined + kGmpHeaderSize);
    }
}

void appendInputRecords(const InputFile& input, std::vector<std::uint8_t>& b, bool (*wanted)(std::uint8_t)) {
    for (const MpsRecord& r : input.mpsRecords) {
        const std::uint8_t* bytes = recordBytes(input.mpsData, r);
        if (wanted(r.type) && bytes) b.insert(b.end(), bytes, bytes + r.length);
    }
}

void appendMapRecordOf(const InputFile& input, const MapEntry& map, const CatalogueSettings& settings,
                       std::vector<std::uint8_t>& out) {
    if (map.mps >= 0 && static_cast<std::size_t>(map.mps) < input.mpsRecords.size()) {
        const MpsRecord& r = input.mpsRecords[map.mps];
        if (const std::uint8_t* bytes = recordBytes(input.mpsData, r)) out.insert(out.end(), bytes, bytes + r.length);
        return;
    }
    if (map.kind != mpcMap && map.kind != ntMap) return;
    std::uint32_t number = mapNumber(input, map);
    if (number == 0) return;
    appendMapRecord(out, settings.productId, settings.familyId, number, recordName(settings.mapsetName),
                    containerDescription(input.img, true));
}

void appendStandaloneMapRecord(const InputFile& input, const CatalogueSettings& settings, std::vector<std::uint8_t>& out) {
    if (input.inputKind != otherData || (input.detectedType != typeTre && input.detectedType != typeGmp)) return;
    const std::optional<TreInfo>& tre = input.single.tre;
    if (!tre || tre->mapId == 0) return;
    bool own = input.pid || input.fid;
    appendMapRecord(out, own ? input.pid : settings.productId, own ? input.fid : settings.familyId, tre->mapId,
                    recordName(settings.mapsetName), std::string(input.single.name.c, 8));
}

}  // namespace

bool countInput(const InputFile& input, const CopySettings& copy, const std::vector<std::uint8_t>* excluded,
                std::uint32_t nameLength, ContainerLayout& layout, std::uint32_t& presentKinds) {
    if (input.inputKind != noKind) {
        if (input.size > 0xFFFFFFFFu) {
            reportTooBig();
            return false;
        }
        presentKinds |= 1u << input.inputKind;
    }
    forEachWritten(input, copy, excluded, [&](std::uint64_t length) { countSubfile(layout, length); });
    if (input.inputKind != noKind) return true;
    std::uint64_t needRecords = 0;
    for (const Subfile& s : input.subfiles) {
        if (s.map < 0 || isExcluded(excluded, s.map)) continue;
        const MapEntry& map = input.maps[s.map];
        if (map.kind == ntMap && map.mps < 0) ++needRecords;
        // An NT conversion copies whole maps through the chunk buffer.
        if (map.kind != mpcMap) layout.largestSubfile = std::max(layout.largestSubfile, s.size);
        if (s.type == typeMps && map.kind != mpcMap) layout.catalogueEstimate += s.size;
    }
    for (std::size_t m = 0; m < input.maps.size(); ++m) {
        const MapEntry& map = input.maps[m];
        if (isExcluded(excluded, m)) continue;
        presentKinds |= 1u << map.kind;
        if (map.kind == ntMap && map.mps < 0) layout.catalogueEstimate += 180;
        if (map.kind == mpcMap && map.mps < 0) ++needRecords;
    }
    if (needRecords)
        layout.catalogueEstimate += (containerDescription(input.img, true).size() + 2 * nameLength + 22) * needRecords;
    return true;
}

void countBlocks(const InputFile& input, const CopySettings& copy, const std::vector<std::uint8_t>* excluded,
                 ContainerLayout& layout) {
    forEachWritten(input, copy, excluded, [&](std::uint64_t length) { countCandidateBlocks(layout, length); });
}

void appendPassRecords(const InputFile& input, std::uint32_t kinds, const std::vector<std::uint8_t>* excluded,
                       const CatalogueSettings& settings, std::vector<std::uint8_t>& out) {
    for (int m : mapsInPass(input, kinds, excluded)) {
        if (m < 0) appendStandaloneMapRecord(input, settings, out);
        else appendMapRecordOf(input, input.maps[m], settings, out);
    }
}

std::vector<std::uint8_t> joinCatalogue(const InputList& inputs, const std::vector<GroupPass>& passes,
                                        const CatalogueSettings& settings) {
    std::vector<std::uint8_t> b;
    for (const GroupPass& pass : passes)
        for (const InputFile& input : inputs) appendPassRecords(input, pass.kinds, nullptr, settings, b);
    const std::string name = recordName(settings.mapsetName);
    appendMapsetRecord(b, name);
    if (settings.familyId || settings.productId) appendProductRecords(b, name, settings.productId, settings.familyId);
    for (const InputFile& input : inputs) appendInputRecords(input, b, [](std::uint8_t t) { return t == 'F'; });
    for (const InputFile& input : inputs)
        appendInputRecords(input, b, [](std::uint8_t t) { return t != 'V' && t != 'L' && t != 'F' && t != 0; });
    dropDuplicateRecords(b);
    return b;
}

std::vector<std::uint8_t> familyCatalogue(const InputFile& input, const std::vector<GroupPass>& passes,
                                          const std::vector<std::uint8_t>* excluded, const CatalogueSettings& settings) {
    std::vector<std::uint8_t> b;
    for (const GroupPass& pass : passes) appendPassRecords(input, pass.kinds, excluded, settings, b);
    const std::string name = recordName(settings.mapsetName);
    appendMapsetRecord(b, name);
    appendProductRecords(b, name, settings.productId, settings.familyId);
    appendInputRecords(input, b, [](std::uint8_t t) { return t != 'V' && t != 'L' && t != 'F' && t != 'P' && t != 0; });
    dropDuplicateRecords(b);
    return b;
}

bool writeCatalogue(ImgWriter& w, const std::vector<std::uint8_t>& catalogue) {
    return writeSubfile(w, "MAPSOURC", "MPS", catalogue);
}
