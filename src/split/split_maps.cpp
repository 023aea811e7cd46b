#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/crc32.h"
#include "common/file_names.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "common/text.h"
#include "img/container/img_writer.h"
#include "img/container/subfile_io.h"
#include "img/format/flat_dem.h"
#include "img/model/group_copy.h"
#include "split/split.h"

namespace {

constexpr Msg kSplitMap{"Split map %s.\n", "Podzial mapy %s.\n"};
constexpr Msg kDataInput{"Split map, data file %s.\n", "Podzial mapy, plik danych %s.\n"};
constexpr Msg kWriteMapVerbose{"Write map  %8s -> %16s, file %9u, header %6Xh, block %u\n",
                               "Zapis mapy %8s -> %16s, plik %9u, naglowek %6Xh, blok %u\n"};
constexpr Msg kWriteMap{"Write map  %8s -> %16s\n", "Zapis mapy %8s -> %16s\n"};
constexpr Msg kWriteDataVerbose{"Write data %8s -> %16s, len. %9u\n", "Zapis dane %8s -> %16s, dlug %9u\n"};
constexpr Msg kWriteData{"Write data %8s -> %16s\n", "Zapis dane %8s -> %16s\n"};
constexpr Msg kCopyVerbose{"Write data %s, len. %9u\n", "Zapis dane %s, dlug %9u\n"};
constexpr Msg kCopy{"Write data %s\n", "Zapis dane %s\n"};
constexpr Msg kUsingOriginal{"Using original file %s for mapset.\n", "Użycie pierwotnego pliku %s do mapsetu.\n"};
constexpr Msg kFileOutOfArea{"File %s out of mapset area.\n", "Plik %s poza obszarem mapsetu.\n"};
constexpr Msg kMapOutOfArea{"Map %8s out of mapset area.\n", "Mapa %8s poza obszarem mapsetu.\n"};

constexpr std::uint32_t kMapChunk = 0x1000000;
constexpr std::uint32_t kCopyChunk = 0x800000;

// In mapset mode only the map subfiles: SRT, DEM, LBL, NET, NOD, RGN, TRE, GMP.
constexpr std::uint32_t kMapsetTypes = 0x7F80;

// Types in the order a map's own container holds them.
const SubfileType kMapTypeOrder[] = {typeGmp, typeLbl, typeRgn, typeTre, typeNet, typeNod, typeSrt, typeDem};

std::uint32_t chunkFor(const SplitState& state, std::uint32_t own) {
    return state.settings.copyChunk ? state.settings.copyChunk : own;
}

// The description of a map's container: its catalogue record's map
// description, else the input's description with the map name added.
std::string mapHeaderText(const InputFile& input, const MapEntry& map, const std::string& outputName) {
    std::string text;
    if (map.mps >= 0 && static_cast<std::size_t>(map.mps) < input.mpsRecords.size() &&
        mapRecordDescription(input.mpsData, input.mpsRecords[map.mps], text))
        return text;
    text = containerDescription(input.img, false);
    if (text.empty() || input.maps.size() >= 2) {
        if (text.size() > 40) text = text.substr(0, 40) + " ";
        else if (!text.empty()) text += " ";
        text += outputName;
    }
    return text.substr(0, 50);
}

// Mapset mode: the levels of the flat DEM a map without elevation data
// gets, or 0 for none.
std::uint32_t flatDemLevels(const InputFile& input, const MapEntry& map, const SplitSettings& settings) {
    if (!settings.mapsetMode || !settings.addEmptyDem || map.hasDem) return 0;
    if (map.kind != mpcMap && map.kind != ntMap) return 0;
    const TreInfo* tre = mapTre(input, map);
    return tre ? treRealLevels(*tre) : 0;
}

bool addFlatDem(const InputFile& input, const MapEntry& map, ImgWriter& w, const char* name8, std::uint32_t levels) {
    const TreInfo& tre = *mapTre(input, map);
    std::uint8_t date[7] = {};
    // The date of the TRE header, when its common header holds one.
    if (tre.header.size() >= 21) std::memcpy(date, tre.header.data() + 14, 7);
    const MapBounds b = treBounds(tre);
    std::vector<std::uint8_t> dem;
    buildFlatDem(dem, b.north, b.east, b.south, b.west, date, levels);
    return writeSubfile(w, name8, "DEM", dem);
}

bool writeMapImg(InputFile& input, SplitState& state, const MapEntry& map, GroupCopy& copy, MapSplit& result,
                 std::uint32_t typeMask, std::uint32_t* numberCounter) {
    ImgWriter& w = copy.writer;
    std::string fileName = makeMapFileName(input, map, result.number, numberCounter);
    result.fileName = fileName.substr(0, 8);
    result.storedName = map.name;
    if (state.settings.mapsetMode && result.number != 0) {
        char name[16];
        std::snprintf(name, sizeof name, "I%07X", result.number);
        std::memcpy(result.storedName.c, name, 8);
    }
    copy.settings.renameMaps = state.settings.mapsetMode;
    copy.settings.newMapName = result.storedName;
    // What the map's file says of it, also when that file is there already
    // from an earlier run, so the mapset files describe it all the same.
    const std::uint32_t demLevels = flatDemLevels(input, map, state.settings);
    result.flatDemSize = demLevels ? 64 * demLevels + 37 : 0;
    result.headerText = mapHeaderText(input, map, std::string(result.storedName.c, 8));
    if (state.settings.verbose)
        say(kWriteMapVerbose, map.name, FileText{fileName}, result.layout.fileSize, result.layout.headerSize,
            result.layout.blockSize);
    else
        say(kWriteMap, map.name, FileText{fileName});
    PendingOutput out = createSplitOutput(state, fileName);
    if (!out) return true;
    w.outputPath = fileName;
    w.file = &out.file();

    bool ok = initHeader(w);
    std::uint32_t done = 0;
    for (SubfileType t : kMapTypeOrder) {
        std::uint32_t bit = 1u << t;
        if (!ok || !(typeMask & bit)) continue;
        ok = copyMap(input, map, copy, bit);
        done |= bit;
    }
    ok = ok && copyMap(input, map, copy, typeMask & ~done);
    if (ok && demLevels) ok = addFlatDem(input, map, w, result.storedName.c, demLevels);
    if (ok) {
        setHeaderDescription(w, result.headerText);
        ok = writeHeader(w);
    }
    w.file = nullptr;
    if (!out.finish(ok)) return false;
    listCreatedFile(state, fileName);
    return true;
}

bool writeDataFile(InputFile& input, SplitState& state, const MapEntry& map, ImgWriter& w, MapSplit& result) {
    std::string stem = safeFileName(trimmedField(map.name.field()));
    if (map.dupIndex) stem += "-" + std::to_string(map.dupIndex);
    std::string ext;
    switch (map.kind) {
    case trfData: ext = "TRF"; break;
    case typData: ext = "TYP"; break;
    case mmrData: ext = "MMR"; break;
    case md2Data: ext = "MD2"; break;
    case mpsCatalogue: ext = "MPS"; break;
    case otherData: ext = safeFileName(trimmedField(std::string_view(map.ext, 3))); break;
    default: ext = "dat"; break;
    }
    const std::string fileName = stem + "." + ext;
    result.fileName = fileName;
    if (state.settings.verbose) say(kWriteDataVerbose, map.name, FileText{fileName}, map.totalSize);
    else say(kWriteData, map.name, FileText{fileName});
    PendingOutput out = createSplitOutput(state, fileName);
    if (!out) return true;
    bool ok = true;
    std::uint64_t at = 0;
    for (std::uint32_t i = 0; ok && i < map.subfileCount; ++i) {
        const Subfile& s = input.subfiles[map.firstSubfile + i];
        for (std::uint64_t done = 0; ok && done < s.size;) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(w.chunkSize, s.size - done));
            if (!readSubfileBytes(input, s.firstFat, done, n, w.copyBuffer.data())) {
                reportReadError(input.path);
                ok = false;
            } else {
                ok = writeChecked(out.file(), fileName, at, w.copyBuffer.data(), n);
            }
            done += n;
            at += n;
        }
    }
    if (!out.finish(ok)) return false;
    listCreatedFile(state, fileName);
    return true;
}

// A stand-alone input goes into the output directory as it is, unless a
// file of its name is there already.
bool copyDataFile(InputFile& input, SplitState& state, InputSplit& result) {
    say(kDataInput, input.path);
    result.fileBaseName = std::string(baseName(std::string_view(input.path)));
    std::vector<std::uint8_t> buffer;
    std::size_t chunk = static_cast<std::size_t>(
        std::max<std::uint64_t>(1, std::min<std::uint64_t>(input.rawLength, chunkFor(state, kCopyChunk))));
    if (!allocChecked(buffer, chunk)) return false;
    std::string full;
    bool existed = false;
    FileHandle created = createOutput(state.place, result.fileBaseName, CreateMode::createNew, full, &existed, true);
    if (existed) return true;
    if (!created) {
        state.failed = true;
        return false;
    }
    PendingOutput out(std::move(created), std::move(full));
    if (!openContainer(input, OpenMode::read)) return false;
    if (state.settings.verbose) say(kCopyVerbose, result.fileBaseName, input.rawLength);
    else say(kCopy, result.fileBaseName);
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < input.rawLength;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, input.rawLength - done));
        if (!readAt(input, buffer.data(), done, n)) {
            reportReadError(input.path);
            ok = false;
        } else {
            ok = writeChecked(out.file(), result.fileBaseName, done, buffer.data(), n);
        }
        done += n;
    }
    closeContainer(input);
    return out.finish(ok);
}

constexpr int kLookupFailed = 2;

// Mapset mode: an input of one map that lies in the output directory under
// its number serves as it is. 1 use it, -1 it lies outside the area, 0 split it,
// kLookupFailed neither.
int useOriginal(const InputFile& input, SplitState& state, InputSplit& result) {
    const std::string name(baseName(std::string_view(input.path)));
    if (input.maps.size() != 1) return 0;
    // Only the input itself: another file of its name (an earlier split's
    // output) holds its subfiles under other names.
    if (const int present = outputHasFile(state.place, name, input.identityKnown ? &input.identity : nullptr);
        present <= 0) {
        // Whether it is there cannot be told: neither use it nor split it.
        if (present < 0) state.failed = true;
        return present < 0 ? kLookupFailed : 0;
    }
    const MapEntry& map = input.maps[0];
    if (map.kind != mpcMap && map.kind != ntMap) return 1;
    if (state.settings.addEmptyDem && !map.hasDem) return 0;
    if (name.size() != 12 || !std::all_of(name.begin(), name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    std::string ext = name.substr(8);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (ext != ".img") return 0;
    const std::uint32_t number = static_cast<std::uint32_t>(std::stoul(name.substr(0, 8)));
    if (number < 1 || number > 99999998) return 0;
    MapSplit& split = result.maps[0];
    split.fileName = name.substr(0, 8);
    split.number = number;
    split.headerText = containerDescription(input.img, false);
    split.storedName = map.name;
    split.outOfArea = outOfArea(input, map, state.settings.area);
    return split.outOfArea ? -1 : 1;
}

}  // namespace

std::string makeMapFileName(const InputFile& input, const MapEntry& map, std::uint32_t& number,
                            std::uint32_t* numberCounter) {
    const char* kindSuffix = map.kind == sortTable ? "_srt" : map.kind == searchIndex ? "_mdr" : "";
    const std::string dup = map.dupIndex ? "-" + std::to_string(map.dupIndex) : "";
    char buf[64];
    const TreInfo* tre = mapTre(input, map);
    if (tre && tre->mapId >= 1 && tre->mapId <= kMaxMapId) {
        number = tre->mapId;
        std::snprintf(buf, sizeof buf, "%08u%s.img", number, dup.c_str());
        return buf;
    }
    number = mapIdFromName(map.name.c);
    if (number == 0 && numberCounter) number = (*numberCounter)++;
    if (number != 0) {
        if (*kindSuffix) std::snprintf(buf, sizeof buf, "%04u%s%s.img", number, dup.c_str(), kindSuffix);
        else std::snprintf(buf, sizeof buf, "%08u%s.img", number, dup.c_str());
        return buf;
    }
    return safeFileName(trimmedField(map.name.field())) + dup + kindSuffix + ".img";
}

bool splitMaps(InputFile& input, SplitState& state, InputSplit& result) {
    const SplitSettings& settings = state.settings;
    if (input.inputKind != noKind) {
        const std::string name(baseName(std::string_view(input.path)));
        const int present = settings.mapsetMode ? outputHasFile(state.place, name) : 0;
        if (present < 0) state.failed = true;
        if (present != 0) {
            result.fileBaseName = name;
            if (present > 0) say(kUsingOriginal, input.path);
            return true;
        }
        return copyDataFile(input, state, result);
    }
    result.maps.assign(input.maps.size(), MapSplit{});
    if (settings.mapsetMode) {
        const int original = useOriginal(input, state, result);
        if (original == kLookupFailed) return true;
        if (original != 0) {
            say(original > 0 ? kUsingOriginal : kFileOutOfArea, input.path);
            return true;
        }
    }
    say(kSplitMap, input.path);
    const bool shortHeader = settings.shortHeader;
    std::vector<std::uint32_t> demLevels(input.maps.size());
    std::uint32_t largestBlock = 0;
    for (std::size_t m = 0; m < input.maps.size(); ++m) {
        const MapEntry& map = input.maps[m];
        demLevels[m] = flatDemLevels(input, map, settings);
        const std::uint64_t demBytes = demLevels[m] ? 64 * std::uint64_t{demLevels[m]} + 37 : 0;
        result.maps[m].layout.blockSize =
            mapBlockSize(map.totalSize + demBytes, map.subfileCount + (demBytes ? 1 : 0), shortHeader);
        if (map.kind == mpcMap || map.kind == ntMap) largestBlock = std::max(largestBlock, result.maps[m].layout.blockSize);
    }
    const std::uint32_t headerBase = shortHeader && largestBlock <= 1024 ? 1024 : 4096;
    std::uint64_t largestSubfile = 0;
    std::uint32_t largestHeader = 0;
    for (std::size_t m = 0; m < input.maps.size(); ++m) {
        const MapEntry& map = input.maps[m];
        std::vector<std::uint64_t> sizes;
        for (std::uint32_t i = 0; i < map.subfileCount; ++i) sizes.push_back(input.subfiles[map.firstSubfile + i].size);
        if (demLevels[m]) sizes.push_back(64 * std::uint64_t{demLevels[m]} + 37);
        result.maps[m].layout = mapLayout(sizes, result.maps[m].layout.blockSize, headerBase);
        largestHeader = std::max(largestHeader, result.maps[m].layout.headerSize);
    }
    for (const Subfile& s : input.subfiles)
        if (s.type != typeNone) largestSubfile = std::max<std::uint64_t>(largestSubfile, s.size);

    ImgWriter w;
    w.outputPath = "clx-00";
    w.headerBase = headerBase;
    w.headerSize = largestHeader;
    if (!allocWriterBuffers(w, largestSubfile, chunkFor(state, kMapChunk))) return false;
    GroupCopy copy{w, CopySettings{}};
    std::uint32_t numberCounter = firstFreeNumber(input);
    std::uint32_t* counter = settings.mapsetMode ? &numberCounter : nullptr;
    const std::uint32_t mapTypes = settings.mapsetMode ? kMapsetTypes : ~((1u << typeNone) | 2u);
    if (!openContainer(input, OpenMode::read)) return false;
    for (int m : input.mapList) {
        const MapEntry& map = input.maps[m];
        MapSplit& split = result.maps[m];
        if (settings.mapsetMode && outOfArea(input, map, settings.area)) {
            split.outOfArea = true;
            if (settings.verbose) say(kMapOutOfArea, map.name);
            continue;
        }
        w.blockSize = split.layout.blockSize;
        w.headerSize = split.layout.headerSize;
        w.fileSize = split.layout.fileSize;
        w.position = w.fatCursor = w.nextBlock = w.checksum = 0;
        w.headerBuffer.assign(w.headerSize, 0);
        bool ok = true;
        switch (map.kind) {
        case trfData: case typData: case mmrData: case md2Data:
            ok = writeDataFile(input, state, map, w, split);
            break;
        case mpsCatalogue: case otherData:
            if (!settings.mapsetMode) ok = writeDataFile(input, state, map, w, split);
            break;
        case sortTable: case searchIndex:
            ok = writeMapImg(input, state, map, copy, split, ~((1u << typeNone) | 2u), counter);
            break;
        case mpcMap: case ntMap:
            ok = writeMapImg(input, state, map, copy, split, mapTypes, counter);
            break;
        default:
            if (!settings.mapsetMode) ok = writeMapImg(input, state, map, copy, split, mapTypes, counter);
            break;
        }
        if (!ok) {
            reportWriteError(map.name.shown());
            closeContainer(input);
            return false;
        }
    }
    closeContainer(input);
    return true;
}

std::uint32_t firstFreeNumber(const InputFile& input) {
    std::uint8_t head[144] = {};
    const std::vector<std::uint8_t>& h = input.img.headerBytes;
    std::memcpy(head, h.data(), std::min<std::size_t>(h.size(), sizeof head));
    return (crc32(head, sizeof head) & 0xFFF7FF) | 0x800000;
}

bool outOfArea(const InputFile& input, const MapEntry& map, const std::optional<MpLimits>& area) {
    const TreInfo* tre = mapTre(input, map);
    if (!tre) return false;
    const MapBounds b = treBounds(*tre);
    if (area)
        return area->south > b.south || area->north < b.north || area->west > b.west || area->east < b.east;
    return b.south < -4194304 || b.north > 4194304;
}
