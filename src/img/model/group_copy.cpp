#include "img/model/group_copy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/subfile_io.h"
#include "img/format/nt_convert.h"

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
constexpr Msg kWritingHeader{"Writing: header\n", "Zapis: naglowek\n"};
constexpr Msg kWritingMps{"Writing: data MAPSOURC.MPS\n", "Zapis: dane MAPSOURC.MPS\n"};

constexpr Msg kIndexes{"indexes", "indeksy"};
constexpr Msg kDataMd2{"data MD2", "dane MD2"};
constexpr Msg kDataTrf{"data TRF", "dane TRF"};
constexpr Msg kDataTyp{"data TYP", "dane TYP"};
constexpr Msg kDataMmr{"data MMR", "dane MMR"};
constexpr Msg kMapsNt{"maps NT", "mapy NT"};
constexpr Msg kMapsMpc{"maps MPC", "mapy MPC"};
constexpr Msg kOther{"other", "dane inne"};

bool copySubfile(InputFile& input, const Subfile& s, const char* name8, ImgWriter& w) {
    // The FAT entries first: a plan that cannot hold the subfile is refused
    // before a byte of it is written.
    if (!addFatEntries(w, name8, s.name.c + 8, s.size)) return false;
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
    return padToBlock(w, s.size);
}

bool copyStandalone(InputFile& input, const std::string& name, ImgWriter& w) {
    const std::uint64_t size = input.rawLength;
    if (!addFatEntries(w, name.c_str(), name.c_str() + 8, size)) return false;
    for (std::uint64_t done = 0; done < size;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(w.chunkSize, size - done));
        if (!readAt(input, w.copyBuffer.data(), done, n)) {
            reportReadError(input.path);
            return false;
        }
        if (!writeData(w, w.copyBuffer.data(), n)) return false;
        done += n;
    }
    return padToBlock(w, size);
}

bool writeStandalone(InputFile& input, GroupCopy& copy) {
    const MapKind kind = input.inputKind;
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
    if (!openContainer(input, OpenMode::read)) return false;
    if (copy.settings.verbose) say(kDataLine, name, copy.writer.position, copy.writer.fatCursor);
    bool ok = copyStandalone(input, name, copy.writer);
    closeContainer(input);
    return ok;
}

// The map's TRE, RGN, LBL, NET, NOD and DEM (those of the type mask) as one
// GMP subfile named after its TRE subfile.
bool convertMap(InputFile& input, const MapEntry& map, GroupCopy& copy, std::uint32_t typeMask) {
    std::vector<GmpMember> members;
    const Subfile* tre = nullptr;
    for (std::uint32_t i = 0; i < map.subfileCount; ++i) {
        const Subfile& s = input.subfiles[map.firstSubfile + i];
        if (!(typeMask & (1u << s.type)) || !isGmpPart(s.type)) continue;
        if (s.type == typeTre) tre = &s;
        GmpMember& m = members.emplace_back();
        m.type = s.type;
        if (!allocChecked(m.bytes, static_cast<std::size_t>(s.size))) return false;
        if (!readSubfileBytes(input, s.firstFat, 0, m.bytes.size(), m.bytes.data())) {
            reportReadError(input.path);
            return false;
        }
    }
    const TreInfo* info = mapTre(input, map);
    std::vector<std::uint8_t> gmp;
    if (!tre || !info || !buildGmp(members, info->dataStart, gmp)) return false;
    return writeSubfile(copy.writer, copy.settings.renameMaps ? copy.settings.newMapName.c : tre->name.c, "GMP", gmp);
}

bool selected(const MapEntry& map, int index, std::uint32_t kinds, const std::vector<std::uint8_t>* excluded) {
    if (excluded && static_cast<std::size_t>(index) < excluded->size() && (*excluded)[index]) return false;
    return (kinds & (1u << map.kind)) != 0;
}

}  // namespace

std::vector<GroupPass> groupPasses(bool fixedGroups, std::uint32_t presentKinds) {
    static const GroupPass fixed[] = {
        {1u << searchIndex, &kIndexes}, {1u << md2Data, &kDataMd2}, {1u << trfData, &kDataTrf},
        {1u << typData, &kDataTyp},     {1u << mmrData, &kDataMmr}, {1u << ntMap, &kMapsNt},
        {1u << mpcMap, &kMapsMpc}};
    std::vector<GroupPass> passes;
    std::uint32_t written = (1u << noKind) | (1u << mpsCatalogue);
    if (fixedGroups)
        for (const GroupPass& p : fixed) {
            passes.push_back(p);
            written |= p.kinds;
        }
    if (std::uint32_t rest = presentKinds & ~written) passes.push_back({rest, &kOther});
    return passes;
}

std::vector<int> mapsInPass(const InputFile& input, std::uint32_t kinds, const std::vector<std::uint8_t>* excluded) {
    std::vector<int> maps;
    if (input.inputKind != noKind) {
        if (kinds & (1u << input.inputKind)) maps.push_back(-1);
        return maps;
    }
    for (int m : input.mapList)
        if (selected(input.maps[m], m, kinds, excluded)) maps.push_back(m);
    return maps;
}

bool writePasses(GroupCopy& copy, const std::vector<GroupPass>& passes,
                 const std::function<bool(std::uint32_t kinds)>& writeKind) {
    for (const GroupPass& p : passes) {
        say(kWriting, messageText(*p.label));
        copy.writtenKinds |= p.kinds;
        if (!writeKind(p.kinds)) return false;
    }
    return true;
}

bool copyMap(InputFile& input, const MapEntry& map, GroupCopy& copy, std::uint32_t typeMask) {
    const bool convert = copy.settings.ntFormat && map.kind == mpcMap;
    if (convert && !convertMap(input, map, copy, typeMask)) {
        say(kNoConversion, map.name);
        return false;
    }
    if (map.kind == ntMap && copy.settings.warnNtKeeps) {
        if (map.hasDem) warn(kDemKept, map.name);
        if (map.hasRouting) warn(kNodKept, map.name);
    }
    // Members that are no part of a GMP (a sort table of the same name) follow
    // it as they are.
    for (std::uint32_t i = 0; i < map.subfileCount; ++i) {
        const Subfile& s = input.subfiles[map.firstSubfile + i];
        if (!(typeMask & (1u << s.type)) || (convert && isGmpPart(s.type))) continue;
        if (!copySubfile(input, s, copy.settings.renameMaps ? copy.settings.newMapName.c : s.name.c, copy.writer))
            return false;
    }
    return true;
}

bool writeGroup(InputFile& input, std::uint32_t kinds, GroupCopy& copy) {
    const std::vector<int> maps = mapsInPass(input, kinds, copy.excluded);
    if (input.inputKind != noKind) return maps.empty() || writeStandalone(input, copy);
    // Open only for a pass that has something to copy: a join of thousands
    // of tiles makes seven passes.
    if (!maps.empty() && !openContainer(input, OpenMode::read)) return false;
    if (copy.settings.verbose) say(kFileLine, input.path);
    for (int m : maps) {
        const MapEntry& map = input.maps[m];
        if (copy.settings.verbose)
            say(kMapLine, map.name, copy.writer.position, copy.writer.fatCursor, map.subfileCount);
        std::uint32_t types = map.kind == mpcMap ? ~copy.settings.excludeTypes : ~0u;
        if (!copyMap(input, map, copy, types)) {
            closeContainer(input);
            return false;
        }
    }
    closeContainer(input);
    return true;
}

void announceHeader() { say(kWritingHeader); }

void announceCatalogue() { say(kWritingMps); }

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
