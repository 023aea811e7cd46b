#include <algorithm>
#include <cstdio>

#include "common/file_ops.h"
#include "common/message.h"
#include "common/options.h"
#include "common/text.h"
#include "img/container.h"
#include "img/map_grouping.h"
#include "join/join_plan.h"
#include "join/join_writer.h"
#include "join/mps_writer.h"
#include "split/split.h"

namespace {

constexpr Msg kSplitFile{"Split file %s into mapsets.\n", "Podzial pliku %s na mapsety.\n"};
constexpr Msg kNotAllUsed{"== Warning: not all maps were used.\n", "== Ostrzeżenie: nie wszystkie mapy zostały użyte.\n"};
constexpr Msg kUnused{"== Unused map %s %s.\n", "== Niewykorzystana mapa %s %s.\n"};

constexpr std::uint32_t kFamilyChunk = 0x2000000;

struct Family {
    std::uint16_t fid;
    std::uint16_t pid;
    std::size_t record;
};

const std::uint8_t* recordBytes(const InputFile& input, const MpsRecord& r) {
    if (r.offset > input.mpsData.size() || r.length > input.mpsData.size() - r.offset) return nullptr;
    return input.mpsData.data() + r.offset;
}

// Whether a map or group belongs to family `fid`.
bool belongs(const InputFile& input, const MapEntry& map, std::uint32_t fid) {
    switch (map.kind) {
    case trfData: case md2Data: case sortTable: case searchIndex:
        return mapIdFromName(map.name) == fid && fid != 0;
    case typData: case mmrData:
        return map.aux && map.aux->fid == fid;
    case mpcMap: case ntMap: {
        if (map.mps < 0 || static_cast<std::size_t>(map.mps) >= input.mpsRecords.size()) return false;
        const MpsRecord& r = input.mpsRecords[map.mps];
        const std::uint8_t* b = recordBytes(input, r);
        return b && r.length >= 7 && getU16(b + 5) == fid;
    }
    default:
        return false;
    }
}

bool writeFamily(InputFile& input, SplitState& state, const Family& family) {
    bool any = false;
    for (int m : input.mapList) {
        MapEntry& map = input.maps[m];
        if (map.kind == mpsCatalogue) {
            map.used = 1;
            map.excluded = 1;
            continue;
        }
        bool in = belongs(input, map, family.fid);
        map.excluded = in ? 0 : 1;
        if (in) map.used = 1;
        any = any || in;
    }
    if (!any) return true;

    JoinLayout layout;
    layout.headerBase = 4096;
    if (!countInput(input, layout) || !planCandidates(layout, options.shortHeader, 0)) return false;
    countBlocks(input, layout);
    if (!pickLayout(layout)) {
        reportTooBig();
        return false;
    }
    reportLayoutSize(layout);

    char name[32];
    std::snprintf(name, sizeof name, "FAM_%04u.img", unsigned{family.fid});
    ImgWriter w;
    w.outputPath = name;
    const MpsRecord& r = input.mpsRecords[family.record];
    const std::uint8_t* b = recordBytes(input, r);
    std::size_t textLength = r.length > 7 ? static_cast<std::size_t>(boundedLength(b, 7, r.length)) : 0;
    w.mapsetName.assign(reinterpret_cast<const char*>(b) + 7, textLength);
    w.headerBase = layout.headerBase;
    w.blockSize = layout.blockSize;
    w.fileSize = layout.fileSize;
    w.headerSize = layout.headerSize;
    if (!allocWriterBuffers(w, layout.largestSubfile, kFamilyChunk)) return false;
    std::string full;
    w.stream = createSplitOutput(state, name, full);
    if (!w.stream) return true;

    bool ok = initHeader(w) && writeGroupsInOrder(w, [&](std::uint32_t mask) { return writeGroup(input, mask, w); });
    ok = ok && writeFamilyCatalogue(input, layout.presentKinds, w, family.fid, family.pid);
    return finishSplitOutput(w.stream, full, ok);
}

}  // namespace

bool splitFamilies(InputFile& input, SplitState& state) {
    if (input.inputKind != 0 || input.mpsRecords.empty()) return true;
    say(kSplitFile, input.path);
    std::vector<Family> families;
    for (std::size_t i = 0; i < input.mpsRecords.size(); ++i) {
        const MpsRecord& r = input.mpsRecords[i];
        const std::uint8_t* b = recordBytes(input, r);
        if (r.type == 'F' && r.length >= 7 && b) families.push_back({getU16(b + 5), getU16(b + 3), i});
    }
    if (families.empty()) return true;
    std::stable_sort(families.begin(), families.end(), [](const Family& a, const Family& b) {
        return a.fid != b.fid ? a.fid < b.fid : a.pid < b.pid;
    });
    for (std::size_t i = 0; i < families.size(); ++i) {
        if (i > 0 && families[i].fid == families[i - 1].fid) continue;
        if (!writeFamily(input, state, families[i])) return false;
    }
    bool warned = false;
    for (int m : input.mapList) {
        MapEntry& map = input.maps[m];
        if (map.used) continue;
        if (!warned) warn(kNotAllUsed);
        warned = true;
        say(kUnused, std::string(map.name, 8), mapKindName(map.kind));
    }
    for (MapEntry& map : input.maps) map.excluded = 0;
    return true;
}
