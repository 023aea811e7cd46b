#include "join/join_writer.h"

#include <algorithm>
#include <cstring>

#include "common/file_ops.h"
#include "common/message.h"
#include "common/options.h"
#include "img/container.h"
#include "img/subfile_types.h"
#include "join/mps_writer.h"
#include "join/nt_convert.h"
#include "platform/file.h"

namespace {

constexpr Msg kWriting{"Writing: %s\n", "Zapis: %s\n"};
constexpr Msg kFileLine{"file %s\n", "plik %s\n"};
constexpr Msg kMapLine{"map  %8s,  file %9llxh,  fat %5xh,  sub-files %2u\n",
                       "mapa %8s,  plik %9llxh,  fat %5xh,  podzbiory %2u\n"};
constexpr Msg kDataLine{"data %s,  file %9llxh,  fat %5xh\n", "dane %s,  plik %9llxh,  fat %5xh\n"};
constexpr Msg kWrongData{"Read, wrong data in file %s.\n", "Odczyt, złe dane w pliku %s.\n"};
constexpr Msg kNoConversion{"Conversion to NT format wasn't done, map %s.\n\n",
                            "Konwersja na format NT nie została wykonana, mapa %s.\n\n"};
constexpr Msg kDemKept{"==Warning: DEM data not removed from NT map %s.\n",
                       "==Ostrzeżenie: dane DEM nie usunięte z mapy NT %s.\n"};
constexpr Msg kNodKept{"==Warning: NOD data not removed from NT map %s.\n",
                       "==Ostrzeżenie: dane NOD nie usunięte z mapy NT %s.\n"};
constexpr Msg kOutputIsInput{"Output file is one of the input files, file %s.\n",
                             "Plik wyjściowy jest jednym z plików wejściowych, plik %s.\n"};
constexpr Msg kWritingHeader{"Writing: header\n", "Zapis: naglowek\n"};

constexpr Msg kIndexes{"indexes", "indeksy"};
constexpr Msg kDataMd2{"data MD2", "dane MD2"};
constexpr Msg kDataTrf{"data TRF", "dane TRF"};
constexpr Msg kDataTyp{"data TYP", "dane TYP"};
constexpr Msg kDataMmr{"data MMR", "dane MMR"};
constexpr Msg kMapsNt{"maps NT", "mapy NT"};
constexpr Msg kMapsMpc{"maps MPC", "mapy MPC"};
constexpr Msg kOther{"other", "dane inne"};

constexpr std::uint32_t kJoinChunk = 0x2000000;

const char* text(const Msg& m) { return useEnglish ? m.en : m.pl; }

// Types whose subfiles start with the common header.
bool hasCommonHeader(SubfileType t) { return t == typeTyp || t == typeTrf || t == typeMmr || (t >= typeMdr && t <= typeGmp); }

bool copySubfile(InputFile& input, const Subfile& s, const char* name8, ImgWriter& w) {
    for (std::uint64_t done = 0; done < s.size;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(w.chunkSize, s.size - done));
        if (!readSubfileBytes(input, s.firstFat, done, n, w.copyBuffer.data())) {
            reportReadError(input.path);
            return false;
        }
        if (done == 0 && hasCommonHeader(s.type) && (n < 8 || std::memcmp(w.copyBuffer.data() + 2, "GARMIN", 6) != 0)) {
            say(kWrongData, input.path);
            return false;
        }
        if (!writeData(w, w.copyBuffer.data(), n)) return false;
        done += n;
    }
    return padToBlock(w, s.size) && addFatEntries(w, name8, s.name + 8, s.size);
}

bool copyStandalone(InputFile& input, const std::string& name, ImgWriter& w) {
    const std::uint64_t size = input.rawLength;
    for (std::uint64_t done = 0; done < size;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(w.chunkSize, size - done));
        if (!readAt(input, w.copyBuffer.data(), done, n)) {
            reportReadError(input.path);
            return false;
        }
        if (!writeData(w, w.copyBuffer.data(), n)) return false;
        done += n;
    }
    return padToBlock(w, size) && addFatEntries(w, name.c_str(), name.c_str() + 8, size);
}

bool writeStandalone(InputFile& input, std::uint32_t kindMask, ImgWriter& w) {
    const std::uint8_t kind = input.inputKind;
    if (!(kindMask & (1u << kind))) return true;
    if (kind != trfData && kind != typData && kind != mmrData && kind != md2Data && kind != otherData) return true;
    if (!openInput(input, "rb")) return false;
    std::string name;
    if ((kind == typData || kind == trfData) && input.fid >= 1 && input.fid <= 0x0FFFFFFE) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "I%07X%s", input.fid, kind == typData ? "TYP" : "TRF");
        name = buf;
    } else if (kind == typData || kind == trfData) {
        name = makeFatName(input, kind == typData ? "TYP" : "TRF");
    } else {
        const SubfileType t = input.detectedType;
        name = makeFatName(input, t != typeNone && t != typeOther ? typeName(t) : nullptr);
    }
    if (options.verbose) say(kDataLine, name, w.position, w.fatCursor);
    bool ok = copyStandalone(input, name, w);
    if (ok && kind == otherData && (input.detectedType == typeTre || input.detectedType == typeGmp))
        addStandaloneMapRecord(input, w);
    closeInput(input);
    return ok;
}

}  // namespace

bool copyMap(InputFile& input, const MapEntry& map, ImgWriter& w, std::uint32_t typeMask) {
    if (options.ntFormat && map.kind == mpcMap) {
        if (convertMapToGmp(input, map, w)) return true;
        say(kNoConversion, map.name);
        return false;
    }
    if (map.kind == ntMap && options.dropDem) {
        if (map.hasDem) warn(kDemKept, map.name);
        if (map.hasRouting) warn(kNodKept, map.name);
    }
    for (std::uint32_t i = 0; i < map.subfileCount; ++i) {
        const Subfile& s = input.subfiles[map.firstSubfile + i];
        if (!(typeMask & (1u << s.type))) continue;
        if (!copySubfile(input, s, w.renameMaps ? w.newMapName : s.name, w)) return false;
    }
    return true;
}

std::string makeFatName(const InputFile& input, const char* extension) {
    std::string name(11, ' ');
    const std::string& path = input.path;
    if (extension && extension[0] != ' ') {
        for (int i = 0; i < 3 && extension[i]; ++i) name[8 + i] = extension[i];
    } else {
        std::size_t dot = path.rfind('.');
        if (dot != std::string::npos)
            for (std::size_t i = 0; i < 3 && dot + 1 + i < path.size(); ++i) name[8 + i] = path[dot + 1 + i];
    }
    // The subfile name part: after the last separator of any platform.
    std::size_t sep = path.find_last_of("\\/:");
    std::size_t start = sep == std::string::npos ? 0 : sep + 1;
    for (std::size_t i = 0; i < 8 && start + i < path.size() && path[start + i] != '.'; ++i) name[i] = path[start + i];
    return name;
}

bool writeGroup(InputFile& input, std::uint32_t kindMask, ImgWriter& w) {
    if (input.inputKind != 0) return writeStandalone(input, kindMask, w);
    // Open only for a pass that has something to copy: a join of thousands
    // of tiles makes seven passes.
    bool needed = false;
    for (int m : input.mapList)
        needed = needed || (!input.maps[m].excluded && (kindMask & (1u << input.maps[m].kind)));
    if (needed && !openInput(input, "rb")) return false;
    if (options.verbose) say(kFileLine, input.path);
    if (!needed) return true;
    const std::uint32_t allTypes = ~0u;
    for (int m : input.mapList) {
        const MapEntry& map = input.maps[m];
        if (map.excluded || !(kindMask & (1u << map.kind))) continue;
        if (options.verbose) say(kMapLine, map.name, w.position, w.fatCursor, map.subfileCount);
        std::uint32_t types = map.kind == mpcMap ? allTypes & ~w.excludeTypes : allTypes;
        if (!copyMap(input, map, w, types)) {
            closeInput(input);
            return false;
        }
        addMapRecord(input, map, w);
    }
    closeInput(input);
    return true;
}

bool writeOtherKinds(ImgWriter& w, std::uint32_t kinds, const std::function<bool(std::uint32_t kindMask)>& writeKind) {
    std::uint32_t rest = kinds & ~w.writtenKinds;
    if (!rest) return true;
    say(kWriting, text(kOther));
    w.writtenKinds |= rest;
    return writeKind(rest);
}

void announceHeader() { say(kWritingHeader); }

bool writeGroupsInOrder(ImgWriter& w, const std::function<bool(std::uint32_t kindMask)>& writeKind) {
    static const struct {
        MapKind kind;
        const Msg* label;
    } groups[] = {{searchIndex, &kIndexes}, {md2Data, &kDataMd2}, {trfData, &kDataTrf}, {typData, &kDataTyp},
                  {mmrData, &kDataMmr},     {ntMap, &kMapsNt},    {mpcMap, &kMapsMpc}};
    for (const auto& g : groups) {
        say(kWriting, text(*g.label));
        w.writtenKinds |= 1u << g.kind;
        if (!writeKind(1u << g.kind)) return false;
    }
    return true;
}

bool outputIsInput(const std::string& output, const InputList& inputs) {
    for (const InputFile& input : inputs)
        if (platformSameFile(output.c_str(), input.path.c_str())) {
            say(kOutputIsInput, output);
            return true;
        }
    return false;
}

bool writeJoin(InputList& inputs, const JoinLayout& layout) {
    ImgWriter w;
    w.outputPath = *options.outputName;
    w.mapsetName = options.mapsetName ? *options.mapsetName : "Cartolux All";
    w.versionFlags = options.versionMode;
    w.versionMajor = options.versionMajor;
    w.versionMinor = options.versionMinor;
    w.mapsourceFlag = options.mapsourceFlag;
    w.headerBase = layout.headerBase;
    w.blockSize = layout.blockSize;
    w.fileSize = layout.fileSize;
    w.headerSize = layout.headerSize;
    w.excludeTypes = layout.excludeTypes;
    if (!allocWriterBuffers(w, layout.largestSubfile, kJoinChunk)) return false;
    if (outputIsInput(w.outputPath, inputs)) return false;
    w.stream = createOutput(w.outputPath, true);
    if (!w.stream) return false;
    std::setvbuf(w.stream.get(), nullptr, _IOFBF, 1 << 20);

    bool ok = initHeader(w);
    auto writeFromAll = [&](std::uint32_t mask) {
        for (InputFile& input : inputs)
            if (!writeGroup(input, mask, w)) return false;
        return true;
    };
    if (ok && !options.noMps) ok = writeGroupsInOrder(w, writeFromAll);
    ok = ok && writeOtherKinds(w, layout.presentKinds, writeFromAll) && writeCatalogue(inputs, w);
    if (ok) announceHeader();
    ok = ok && writeHeader(w);
    return closeOutput(w) && ok;
}
