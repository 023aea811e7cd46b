#include "mapset/mapset.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "common/version.h"
#include "img/format/tdb.h"
#include "img/model/map_ids.h"
#include "mapset/install_scripts.h"
#include "mapset/mapset_info.h"
#include "mapset/preview.h"

namespace {

constexpr Msg kWriteFile{"Write file %s\n", "Zapis pliku %s\n"};

struct Run {
    const MapsetSource& source;
    const MapsetSettings& settings;
    const OutputPlace place;
    MapsetInfo info;
    bool failed = false;  // an output could not be made: the run ends with exit code 4
};

TdbMap tdbMap(const InputFile& input, const MapEntry& map, const MapSplit& split) {
    TdbMap t;
    t.number = split.number;
    const MapBounds b = treBounds(*mapTre(input, map));
    t.north = b.north;
    t.east = b.east;
    t.south = b.south;
    t.west = b.west;
    t.description = split.headerText;
    // The names the subfiles carry in the map's own file.
    const std::string name(split.storedName.c[0] ? split.storedName.c : map.name.c, 8);
    for (std::uint32_t i = 0; i < map.subfileCount; ++i) {
        const Subfile& s = input.subfiles[map.firstSubfile + i];
        t.subfiles.push_back({s.type, name, static_cast<std::uint32_t>(s.size)});
    }
    return t;
}

bool writeTdbFile(Run& run) {
    const std::string name = run.settings.baseName + ".tdb";
    say(kWriteFile, name);
    const MapsetInfo& info = run.info;
    TdbMapset mapset;
    mapset.version3 = run.settings.version3 && !info.newFormat;
    mapset.productId = static_cast<std::uint16_t>(info.productId);
    mapset.familyId = static_cast<std::uint16_t>(info.familyId);
    mapset.name = info.name;
    mapset.identification = std::string(clxProductName) + " " + clxVersion;
    mapset.previewNumber = info.previewNumber;
    mapset.levelBits = info.realLevelBits;
    mapset.routing = info.routing;
    mapset.marine = info.marine;
    mapset.allDem = info.someWithDem && !info.someWithoutDem;
    mapset.codePage = static_cast<std::uint16_t>(info.codePage);
    mapset.north = info.bounds.north;
    mapset.east = info.bounds.east;
    mapset.south = info.bounds.south;
    mapset.west = info.bounds.west;
    std::vector<TdbMap> maps;
    for (std::size_t f = 0; f < run.source.inputs.size(); ++f) {
        const InputFile& input = run.source.inputs[f];
        const InputSplit& split = run.source.splits[f];
        for (int m : input.mapList) {
            if (!inMapset(input, split, m)) continue;
            TdbMap t = tdbMap(input, input.maps[m], split.maps[m]);
            // A flat DEM alone does not make a map worth a block.
            if (!tdbListsMap(t, mapset.version3)) continue;
            const bool hasDem = std::any_of(t.subfiles.begin(), t.subfiles.end(),
                                            [](const TdbSubfile& s) { return s.type == typeDem; });
            if (!hasDem && split.maps[m].flatDemSize)
                t.subfiles.push_back({typeDem, t.subfiles.front().name8, split.maps[m].flatDemSize});
            maps.push_back(std::move(t));
        }
    }
    const std::vector<std::uint8_t> bytes = buildTdb(mapset, maps);
    return writeWholeOutput(run.place, name, bytes.data(), bytes.size());
}

// The index of map IDs; only memory that cannot be had stops the mapset.
void writeMdxFile(Run& run) {
    if (run.info.numberedMaps == 0) return;
    const std::string name = run.settings.baseName + ".mdx";
    say(kWriteFile, name);
    std::vector<MapIdRow> rows;
    for (std::size_t f = 0; f < run.source.inputs.size(); ++f) {
        const InputFile& input = run.source.inputs[f];
        const InputSplit& split = run.source.splits[f];
        for (int m : input.mapList)
            if (inMapset(input, split, m) && input.maps[m].mapId)
                rows.push_back({input.maps[m].mapId, split.maps[m].number, &input, input.path});
    }
    rows.push_back({run.info.previewNumber, 0, nullptr, "preview"});
    sortMapIds(rows);
    std::vector<std::uint8_t> bytes(14 + 12 * rows.size());
    std::memcpy(bytes.data(), "Midxd", 6);
    putU32(bytes.data() + 6, 12);
    putU32(bytes.data() + 10, static_cast<std::uint32_t>(rows.size()));
    std::uint8_t* r = bytes.data() + 14;
    for (const MapIdRow& row : rows) {
        putU32(r, row.id);
        putU16(r + 4, static_cast<std::uint16_t>(run.info.productId));
        putU16(r + 6, static_cast<std::uint16_t>(run.info.familyId));
        putU32(r + 8, row.number);
        r += 12;
    }
    if (!writeWholeOutput(run.place, name, bytes.data(), bytes.size())) run.failed = true;
}

// The TYP and TRF files the install script registers: the first of each
// that the mapset's files hold.
void findStyleFiles(const Run& run, ScriptSettings& s) {
    const std::uint32_t family = run.info.familyId;
    for (std::size_t f = 0; f < run.source.inputs.size() && (s.typFile.empty() || s.trfFile.empty()); ++f) {
        const InputFile& input = run.source.inputs[f];
        const InputSplit& split = run.source.splits[f];
        if (input.inputKind == typData && input.fid == family && s.typFile.empty()) s.typFile = split.fileBaseName;
        if (input.inputKind == trfData && s.trfFile.empty()) s.trfFile = split.fileBaseName;
        if (input.inputKind != noKind) continue;
        for (int m : input.mapList) {
            const MapEntry& map = input.maps[m];
            const AuxInfo* aux = mapAux(input, map);
            const std::string& file = split.maps[m].fileName;
            if (!aux || file.empty()) continue;
            if (map.kind == typData && aux->fid == family && s.typFile.empty()) s.typFile = file;
            if (map.kind == trfData && s.trfFile.empty()) s.trfFile = file;
        }
    }
}

void writeScripts(Run& run) {
    ScriptSettings s;
    s.baseName = run.settings.baseName;
    s.mapsetName = run.info.name;
    s.familyId = run.info.familyId;
    s.productId = run.info.productId;
    s.ntFamilies = run.info.ntMap;
    findStyleFiles(run, s);
    const std::string install = installScript(s);
    if (!writeWholeOutput(run.place, "install.bat", install.data(), install.size())) {
        run.failed = true;
        return;
    }
    const std::string uninstall = uninstallScript(s);
    if (!writeWholeOutput(run.place, "uninstall.bat", uninstall.data(), uninstall.size())) run.failed = true;
}

}  // namespace

bool makeMapset(InputList& inputs, const MapsetSettings& settings) {
    std::vector<InputSplit> splits;
    // Mapset files would describe a map whose file could not be made.
    if (splitInputs(inputs, settings.split, splits) != 0) return false;
    const MapsetSource source{inputs, splits};
    Run run{source, settings, outputPlace(inputs, settings.split.outputDir), {}, false};
    if (!gatherMapsetInfo(source, settings, run.info)) return false;
    if (!writePreview(source, settings, run.place, run.info) || !writeTdbFile(run)) return false;
    writeMdxFile(run);
    writeScripts(run);
    return !run.failed;
}
