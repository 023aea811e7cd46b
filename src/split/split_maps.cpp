#include <algorithm>
#include <cstring>

#include "common/file_names.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "common/options.h"
#include "common/text.h"
#include "img/container.h"
#include "img/map_grouping.h"
#include "join/join_plan.h"
#include "join/join_writer.h"
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

constexpr std::uint32_t kMapChunk = 0x1000000;
constexpr std::uint32_t kCopyChunk = 0x800000;
constexpr std::uint64_t kMaxLayoutBlocks = 65529;

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

std::string mapName(const MapEntry& map) { return std::string(map.name, 8); }

// Types in the order a map's own container holds them.
const SubfileType kMapTypeOrder[] = {typeGmp, typeLbl, typeRgn, typeTre, typeNet, typeNod, typeSrt, typeDem};

// The description of a map's container: its catalogue record's map
// description, else the input's description with the map name added.
std::string mapHeaderText(const InputFile& input, const MapEntry& map, const std::string& outputName) {
    if (map.mps >= 0 && static_cast<std::size_t>(map.mps) < input.mpsRecords.size()) {
        const MpsRecord& r = input.mpsRecords[map.mps];
        if (r.length > 21 && r.offset <= input.mpsData.size() && r.length <= input.mpsData.size() - r.offset) {
            const std::uint8_t* rec = input.mpsData.data() + r.offset;
            const std::size_t end = r.length - 8;  // not into the record's last 8 bytes
            for (std::size_t p = 11; p < end; ++p)
                if (rec[p] == 0) {
                    std::size_t start = p + 1, stop = start;
                    while (stop < end && rec[stop] != 0) ++stop;
                    return std::string(reinterpret_cast<const char*>(rec + start), stop - start).substr(0, 50);
                }
        }
    }
    std::string text;
    const std::vector<std::uint8_t>& h = input.img.headerBytes;
    if (h.size() >= 0x65 + 30) {
        text.assign(reinterpret_cast<const char*>(h.data() + 0x49), 20);
        text.append(reinterpret_cast<const char*>(h.data() + 0x65), 30);
        std::size_t length = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (static_cast<unsigned char>(text[i]) > 32) length = i + 1;
        text.resize(length);
        text = text.substr(0, text.find('\0'));
    }
    if (text.empty() || input.maps.size() >= 2) {
        if (text.size() > 40) text = text.substr(0, 40) + " ";
        else if (!text.empty()) text += " ";
        text += outputName;
    }
    return text.substr(0, 50);
}

bool writeMapImg(InputFile& input, SplitState& state, MapEntry& map, ImgWriter& w, std::uint32_t typeMask) {
    std::uint32_t number = 0;
    std::string fileName = makeMapFileName(input, map, number);
    map.mapFileName = fileName.substr(0, 8);
    map.mapNumber = number;
    if (options.verbose)
        say(kWriteMapVerbose, mapName(map), fileName, map.mapFileSize, map.mapHeaderSize, map.mapBlockSize);
    else
        say(kWriteMap, mapName(map), fileName);
    std::string full;
    w.stream = createSplitOutput(state, fileName, full);
    if (!w.stream) return true;
    listCreatedFile(state, fileName);
    w.outputPath = fileName;

    bool ok = initHeader(w);
    std::uint32_t done = 0;
    for (SubfileType t : kMapTypeOrder) {
        std::uint32_t bit = 1u << t;
        if (!ok || !(typeMask & bit)) continue;
        ok = copyMap(input, map, w, bit);
        done |= bit;
    }
    ok = ok && copyMap(input, map, w, typeMask & ~done);
    if (ok) {
        map.headerText = mapHeaderText(input, map, mapName(map));
        setHeaderDescription(w, map.headerText);
        ok = writeHeader(w);
    }
    return finishSplitOutput(w.stream, full, ok);
}

bool writeDataFile(InputFile& input, SplitState& state, MapEntry& map, ImgWriter& w) {
    std::string stem = safeFileName(trimmedField(std::string_view(map.name, 8)));
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
    map.mapFileName = fileName;
    if (options.verbose) say(kWriteDataVerbose, mapName(map), fileName, map.totalSize);
    else say(kWriteData, mapName(map), fileName);
    std::string full;
    File out = createSplitOutput(state, fileName, full);
    if (!out) return true;
    listCreatedFile(state, fileName);
    bool ok = true;
    for (std::uint32_t i = 0; ok && i < map.subfileCount; ++i) {
        const Subfile& s = input.subfiles[map.firstSubfile + i];
        for (std::uint64_t done = 0; ok && done < s.size;) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(w.chunkSize, s.size - done));
            if (!readSubfileBytes(input, s.firstFat, done, n, w.copyBuffer.data())) {
                reportReadError(input.path);
                ok = false;
            } else if (std::fwrite(w.copyBuffer.data(), 1, n, out.get()) != n) {
                reportWriteError(fileName);
                ok = false;
            }
            done += n;
        }
    }
    return finishSplitOutput(out, full, ok);
}

bool copyDataFile(InputFile& input, SplitState& state) {
    say(kDataInput, input.path);
    input.fileBaseName = std::string(baseName(std::string_view(input.path)));
    std::vector<std::uint8_t> buffer;
    std::size_t chunk = std::max<std::size_t>(1, std::min<std::size_t>(input.rawLength, kCopyChunk));
    if (!allocChecked(buffer, chunk) || !openInput(input, "rb")) return false;
    std::string full;
    File out = createOutputInDir(input.fileBaseName, true, &full);
    if (!out) {
        closeInput(input);
        state.failed = true;
        return false;
    }
    if (options.verbose) say(kCopyVerbose, input.fileBaseName, input.rawLength);
    else say(kCopy, input.fileBaseName);
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < input.rawLength;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, input.rawLength - done));
        if (!readAt(input, buffer.data(), done, n)) {
            reportReadError(input.path);
            ok = false;
        } else if (std::fwrite(buffer.data(), 1, n, out.get()) != n) {
            reportWriteError(input.fileBaseName);
            ok = false;
        }
        done += n;
    }
    closeInput(input);
    return finishSplitOutput(out, full, ok);
}

// Whether the output directory already holds a file of the input's name.
bool outputHasFile(const std::string& path) { return fileExists(outputPathFor(std::string(baseName(std::string_view(path))))); }

}  // namespace

std::uint32_t mapBlockSize(const MapEntry& map, bool shortHeader, std::uint64_t extraSubfile) {
    const std::uint64_t t = std::uint64_t{map.totalSize} + extraSubfile;
    const std::uint64_t n = map.subfileCount + (extraSubfile ? 1 : 0);
    std::uint64_t m = 1;
    while (m < ceilDiv(ceilDiv(t, 512), 65535)) m *= 2;
    std::uint64_t bs = 512 * m;
    auto est = [&](std::uint64_t b) { return ceilDiv(t + (n * b) / 2, b) + ceilDiv(2 * (t / b) + 288 * n + 4096, b); };
    if (est(bs) > kMaxBlocks) bs *= 2;
    std::uint64_t cost = est(bs) * bs / 512;
    for (int i = 0; i < 5; ++i) {
        if (shortHeader && bs > 1023) break;
        std::uint64_t b2 = 2 * bs;
        std::uint64_t cost2 = est(b2) * b2 / 512;
        if (cost2 >= cost) break;
        bs = b2;
        cost = cost2;
    }
    return static_cast<std::uint32_t>(bs);
}

void mapLayout(const InputFile& input, MapEntry& map, std::uint32_t headerBase, std::uint64_t extraSubfile) {
    struct Candidate {
        std::uint64_t b, blocks = 0, entries = 0, h = 0, total = 0, size = 0;
    };
    Candidate c[3] = {{map.mapBlockSize}, {2ull * map.mapBlockSize}, {4ull * map.mapBlockSize}};
    for (Candidate& k : c) {
        auto count = [&](std::uint64_t length) {
            std::uint64_t blocks = ceilDiv(length, k.b);
            k.blocks += blocks;
            k.entries += ceilDiv(blocks, kBlocksPerFatEntry);
        };
        for (std::uint32_t i = 0; i < map.subfileCount; ++i) count(input.subfiles[map.firstSubfile + i].size);
        if (extraSubfile) count(extraSubfile);
        k.h = ceilDiv(headerBase + 512 * k.entries + 512, k.b);
        if (k.h > kBlocksPerFatEntry) k.h = ceilDiv(headerBase + 512 * k.entries + 512 * ceilDiv(k.h, kBlocksPerFatEntry) + 512, k.b);
        k.total = k.h + k.blocks;
        k.size = k.total * k.b;
    }
    const Candidate* chosen = &c[2];
    if (c[0].total < kMaxLayoutBlocks && c[0].size < c[1].size && c[0].size < c[2].size) chosen = &c[0];
    else if (c[1].total < kMaxLayoutBlocks && c[1].size < c[2].size) chosen = &c[1];
    map.mapBlockSize = static_cast<std::uint32_t>(chosen->b);
    map.mapHeaderSize = static_cast<std::uint32_t>(chosen->h * chosen->b);
    map.mapFileSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(chosen->size, 0xFFFFFFFFu));
}

std::string makeMapFileName(const InputFile&, const MapEntry& map, std::uint32_t& number, std::uint32_t* numberCounter) {
    const char* kindSuffix = map.kind == sortTable ? "_srt" : map.kind == searchIndex ? "_mdr" : "";
    const std::string dup = map.dupIndex ? "-" + std::to_string(map.dupIndex) : "";
    char buf[64];
    if (map.tre && map.tre->mapId >= 1 && map.tre->mapId <= kMaxMapId) {
        number = map.tre->mapId;
        std::snprintf(buf, sizeof buf, "%08u%s.img", number, dup.c_str());
        return buf;
    }
    number = mapIdFromName(map.name);
    if (number == 0 && numberCounter) number = (*numberCounter)++;
    if (number != 0) {
        if (*kindSuffix) std::snprintf(buf, sizeof buf, "%04u%s%s.img", number, dup.c_str(), kindSuffix);
        else std::snprintf(buf, sizeof buf, "%08u%s.img", number, dup.c_str());
        return buf;
    }
    return safeFileName(trimmedField(std::string_view(map.name, 8))) + dup + kindSuffix + ".img";
}

bool splitMaps(InputFile& input, SplitState& state) {
    if (input.inputKind != 0) {
        if (!outputHasFile(input.path)) return copyDataFile(input, state);
        input.fileBaseName = std::string(baseName(std::string_view(input.path)));
        say(kDataInput, input.path);
        return true;
    }
    say(kSplitMap, input.path);
    std::uint32_t largestBlock = 0;
    for (MapEntry& map : input.maps) {
        map.mapBlockSize = mapBlockSize(map, options.shortHeader);
        if (map.kind == mpcMap || map.kind == ntMap) largestBlock = std::max(largestBlock, map.mapBlockSize);
    }
    const std::uint32_t headerBase = options.shortHeader && largestBlock <= 1024 ? 1024 : 4096;
    std::uint64_t largestSubfile = 0;
    std::uint32_t largestHeader = 0;
    for (MapEntry& map : input.maps) {
        mapLayout(input, map, headerBase);
        largestHeader = std::max(largestHeader, map.mapHeaderSize);
    }
    for (const Subfile& s : input.subfiles)
        if (s.type != typeNone) largestSubfile = std::max<std::uint64_t>(largestSubfile, s.size);

    ImgWriter w;
    w.outputPath = "clx-00";
    w.headerBase = headerBase;
    w.headerSize = largestHeader;
    if (!allocWriterBuffers(w, largestSubfile, kMapChunk)) return false;
    const std::uint32_t mapTypes = ~((1u << typeNone) | 2u);
    if (!openInput(input, "rb")) return false;
    for (int m : input.mapList) {
        MapEntry& map = input.maps[m];
        w.blockSize = map.mapBlockSize;
        w.headerSize = map.mapHeaderSize;
        w.fileSize = map.mapFileSize;
        w.position = w.fatCursor = w.nextBlock = w.checksum = 0;
        w.headerBuffer.assign(w.headerSize, 0);
        bool ok = true;
        switch (map.kind) {
        case trfData: case typData: case mmrData: case md2Data: case mpsCatalogue: case otherData:
            ok = writeDataFile(input, state, map, w);
            break;
        default:
            ok = writeMapImg(input, state, map, w, mapTypes);
            break;
        }
        if (!ok) {
            reportWriteError(mapName(map));
            closeInput(input);
            return false;
        }
    }
    closeInput(input);
    return true;
}
