#include "join/join.h"

#include <algorithm>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/img_writer.h"
#include "img/container/layout.h"
#include "img/model/container_plan.h"
#include "img/model/map_ids.h"

namespace {

constexpr Msg kInputMissing{"Input files missing.\n", "Brak plików wejściowych.\n"};

const char* const kDefaultMapsetName = "Cartolux All";

CopySettings copySettings(const JoinSettings& s) {
    CopySettings c;
    c.verbose = s.verbose;
    c.ntFormat = s.ntFormat;
    c.warnNtKeeps = s.dropDemRouting;
    if (s.dropDemRouting) c.excludeTypes = (1u << typeDem) | (1u << typeNod);
    return c;
}

struct JoinPlan {
    ContainerLayout layout;
    std::vector<GroupPass> passes;
    std::vector<std::uint8_t> catalogue;
    CatalogueSettings names;
};

bool planJoin(const InputList& inputs, const JoinSettings& s, const CopySettings& copy, JoinPlan& plan) {
    ContainerLayout& layout = plan.layout;
    layout.headerBase = s.shortHeader ? 1024 : 4096;
    std::uint32_t presentKinds = 0;
    const std::uint32_t nameLength = s.mapsetName ? static_cast<std::uint32_t>(std::min<std::size_t>(s.mapsetName->size(), 50)) : 12;
    for (const InputFile& input : inputs)
        if (!countInput(input, copy, nullptr, nameLength, layout, presentKinds)) return false;
    plan.passes = groupPasses(!s.noCatalogue, presentKinds);
    plan.names = {s.mapsetName ? *s.mapsetName : kDefaultMapsetName, s.familyId, s.productId};
    // Built now, byte for byte as it will be written, so the plan is exact.
    if (!s.noCatalogue) plan.catalogue = joinCatalogue(inputs, plan.passes, plan.names);
    layout.catalogueBytes = plan.catalogue.size();
    if (!planCandidates(layout, s.shortHeader, s.blockSizeKb)) return false;
    for (const InputFile& input : inputs) countBlocks(input, copy, nullptr, layout);
    if (!pickLayout(layout)) {
        reportTooBig();
        return false;
    }
    if (s.verbose) reportLayoutSize(layout);
    return true;
}

bool writeJoin(InputList& inputs, const JoinSettings& s, const CopySettings& copySettings, const JoinPlan& plan) {
    ImgWriter w;
    w.outputPath = s.outputName;
    w.versionFlags = s.versionFlags;
    w.versionMajor = s.versionMajor;
    w.versionMinor = s.versionMinor;
    w.mapsourceFlag = s.mapsourceFlag;
    w.headerBase = plan.layout.headerBase;
    w.blockSize = plan.layout.blockSize;
    w.fileSize = plan.layout.fileSize;
    w.headerSize = plan.layout.headerSize;
    if (!allocWriterBuffers(w, plan.layout.largestSubfile, s.copyChunk)) return false;
    std::string path;
    FileHandle out = createOutput(outputPlace(inputs, ""), s.outputName, CreateMode::replace, path);
    if (!out) return false;
    w.file = out.get();

    GroupCopy copy{w, copySettings};
    bool ok = initHeader(w) && writePasses(copy, plan.passes, [&](std::uint32_t kinds) {
        for (InputFile& input : inputs)
            if (!writeGroup(input, kinds, copy)) return false;
        return true;
    });
    if (ok) setHeaderDescription(w, recordName(plan.names.mapsetName));
    if (ok && !s.noCatalogue) {
        announceCatalogue();
        ok = writeCatalogue(w, plan.catalogue);
    }
    if (ok) announceHeader();
    ok = ok && writeHeader(w);
    // The output stays even when it is incomplete; its header is written last.
    return closeChecked(out, path) && ok;
}

}  // namespace

void warnRepeatedMapIds(const InputList& inputs) {
    std::vector<MapIdRow> rows;
    for (const InputFile& input : inputs)
        for (const MapEntry& map : input.maps)
            if (map.mapId) rows.push_back({map.mapId, 0, &input, input.path});
    sortMapIds(rows);
}

bool joinFiles(InputList& inputs, const JoinSettings& settings) {
    if (inputs.empty()) {
        say(kInputMissing);
        return false;
    }
    warnRepeatedMapIds(inputs);
    const CopySettings copy = copySettings(settings);
    JoinPlan plan;
    return planJoin(inputs, settings, copy, plan) && writeJoin(inputs, settings, copy, plan);
}
