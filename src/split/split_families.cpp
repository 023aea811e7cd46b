#include <algorithm>
#include <cstdio>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/img_writer.h"
#include "img/container/layout.h"
#include "img/model/container_plan.h"
#include "img/model/group_copy.h"
#include "split/split.h"

namespace {

constexpr Msg kSplitFile{"Split file %s into mapsets.\n", "Podzial pliku %s na mapsety.\n"};
constexpr Msg kNotAllUsed{"== Warning: not all maps were used.\n", "== Ostrzeżenie: nie wszystkie mapy zostały użyte.\n"};
constexpr Msg kUnused{"== Unused map %s %s.\n", "== Niewykorzystana mapa %s %s.\n"};

struct Family {
    std::uint16_t fid;
    std::uint16_t pid;
    std::size_t record;
};

// Whether a map or group belongs to family `fid`.
bool belongs(const InputFile& input, const MapEntry& map, std::uint32_t fid) {
    switch (map.kind) {
    case trfData: case md2Data: case sortTable: case searchIndex:
        return mapIdFromName(map.name.c) == fid && fid != 0;
    case typData: case mmrData: {
        const AuxInfo* aux = mapAux(input, map);
        return aux && aux->fid == fid;
    }
    case mpcMap: case ntMap: {
        std::uint16_t recordFid = 0, recordPid = 0;
        return map.mps >= 0 && static_cast<std::size_t>(map.mps) < input.mpsRecords.size() &&
               recordIds(input.mpsData, input.mpsRecords[map.mps], recordFid, recordPid) && recordFid == fid;
    }
    default:
        return false;
    }
}

// One family's container; `used` collects the maps it took.
bool writeFamily(InputFile& input, SplitState& state, const Family& family, std::vector<std::uint8_t>& used) {
    std::vector<std::uint8_t> excluded(input.maps.size(), 0);
    bool any = false;
    for (int m : input.mapList) {
        const MapEntry& map = input.maps[m];
        // The catalogue is made anew for every family.
        const bool in = map.kind != mpsCatalogue && belongs(input, map, family.fid);
        excluded[m] = in ? 0 : 1;
        if (in || map.kind == mpsCatalogue) used[m] = 1;
        any = any || in;
    }
    if (!any) return true;

    CopySettings copySettings;
    copySettings.verbose = state.settings.verbose;
    ContainerLayout layout;
    layout.headerBase = 4096;
    std::uint32_t presentKinds = 0;
    if (!countInput(input, copySettings, &excluded, 0, layout, presentKinds)) return false;
    const std::vector<GroupPass> passes = groupPasses(true, presentKinds);
    const CatalogueSettings names{familyName(input.mpsData, input.mpsRecords[family.record]), family.fid, family.pid};
    const std::vector<std::uint8_t> catalogue = familyCatalogue(input, passes, &excluded, names);
    layout.catalogueBytes = catalogue.size();
    if (!planCandidates(layout, state.settings.shortHeader, 0)) return false;
    countBlocks(input, copySettings, &excluded, layout);
    if (!pickLayout(layout)) {
        reportTooBig();
        return false;
    }
    if (state.settings.verbose) reportLayoutSize(layout);

    char name[32];
    std::snprintf(name, sizeof name, "FAM_%04u.img", unsigned{family.fid});
    ImgWriter w;
    w.outputPath = name;
    w.headerBase = layout.headerBase;
    w.blockSize = layout.blockSize;
    w.fileSize = layout.fileSize;
    w.headerSize = layout.headerSize;
    if (!allocWriterBuffers(w, layout.largestSubfile, state.settings.copyChunk ? state.settings.copyChunk : kDefaultCopyChunk))
        return false;
    PendingOutput out = createSplitOutput(state, name);
    if (!out) return true;
    w.file = &out.file();

    GroupCopy copy{w, copySettings, &excluded};
    bool ok = initHeader(w) && writePasses(copy, passes, [&](std::uint32_t kinds) { return writeGroup(input, kinds, copy); });
    if (ok) {
        setHeaderDescription(w, recordName(names.mapsetName));
        announceCatalogue();
        ok = writeCatalogue(w, catalogue);
    }
    if (ok) announceHeader();
    ok = ok && writeHeader(w);
    w.file = nullptr;
    if (!out.finish(ok)) return false;
    listCreatedFile(state, name);
    return true;
}

}  // namespace

bool splitFamilies(InputFile& input, SplitState& state) {
    if (input.inputKind != noKind || input.mpsRecords.empty()) return true;
    say(kSplitFile, input.path);
    std::vector<Family> families;
    for (std::size_t i = 0; i < input.mpsRecords.size(); ++i) {
        const MpsRecord& r = input.mpsRecords[i];
        std::uint16_t fid = 0, pid = 0;
        if (r.type == 'F' && recordIds(input.mpsData, r, fid, pid)) families.push_back({fid, pid, i});
    }
    if (families.empty()) return true;
    std::stable_sort(families.begin(), families.end(), [](const Family& a, const Family& b) {
        return a.fid != b.fid ? a.fid < b.fid : a.pid < b.pid;
    });
    std::vector<std::uint8_t> used(input.maps.size(), 0);
    for (std::size_t i = 0; i < families.size(); ++i) {
        if (i > 0 && families[i].fid == families[i - 1].fid) continue;
        if (!writeFamily(input, state, families[i], used)) return false;
    }
    bool warned = false;
    for (int m : input.mapList) {
        if (used[m]) continue;
        if (!warned) warn(kNotAllUsed);
        warned = true;
        say(kUnused, input.maps[m].name, mapKindName(input.maps[m].kind));
    }
    return true;
}
