// The in-memory model of an input: subfiles, what their headers say, maps and
// data groups, and the catalogue records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Codes from the three-letter subfile type.
enum SubfileType : std::uint8_t {
    typeNone = 0,
    typeTyp = 2,
    typeTrf = 3,
    typeMmr = 4,
    typeMd2 = 5,
    typeMdr = 6,
    typeSrt = 7,
    typeDem = 8,
    typeLbl = 9,
    typeNet = 10,
    typeNod = 11,
    typeRgn = 12,
    typeTre = 13,
    typeGmp = 14,
    typeMps = 15,
    typeOther = 16,
};

enum MapKind : std::uint8_t {
    noKind = 0,
    trfData = 1,
    typData = 2,
    mmrData = 3,
    md2Data = 4,
    sortTable = 6,
    searchIndex = 7,
    mpcMap = 8,
    mpsCatalogue = 9,
    ntMap = 10,
    otherData = 11,
};

// The order of the parts in a GMP header (offsets at 0x19, 0x1D, ...).
enum GmpPart { gmpTre, gmpRgn, gmpLbl, gmpNet, gmpNod, gmpDem, gmpPartCount };

// Header of a TRE subfile or of the TRE part of a GMP.
struct TreInfo {
    std::uint32_t firstFat = 0;
    std::uint32_t subfileSize = 0;
    std::uint32_t headerOffset = 0;  // 0, or the TRE part's offset in a GMP
    std::uint32_t headerRead = 0;    // bytes in header (at most 512)
    std::uint32_t dataStart = 0;     // where the first data section begins
    std::uint32_t levelsOffset = 0;
    std::uint32_t levelsSize = 0;
    std::uint32_t mapId = 0;
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> levels;  // at most 128 bytes
    std::uint8_t firstRealLevelBits = 0;
    std::uint8_t hasDem = 0;
    std::uint8_t hasRouting = 0;
};

struct LblInfo {
    std::uint32_t firstFat = 0;
    std::uint32_t subfileSize = 0;
    std::uint32_t headerOffset = 0;
    std::uint32_t headerRead = 0;  // at most 640
    std::uint32_t sortOffset = 0;
    std::uint32_t sortLength = 0;
    std::uint32_t section184Offset = 0;  // 0x184, 0x188, 0x18C, 0x192, 0x196
    std::uint32_t section184Length = 0;
    std::uint32_t section184RecordSize = 0;
    std::uint32_t section192Offset = 0;
    std::uint32_t section192Length = 0;
    std::uint32_t codePage = 0;
    std::vector<std::uint8_t> header;
    std::vector<char> sortName;  // at most 198 characters, NUL-terminated; empty when absent
};

struct DemInfo {
    std::uint32_t firstFat = 0;
    std::uint32_t subfileSize = 0;
    std::uint32_t headerOffset = 0;
    std::uint32_t headerRead = 0;  // at most 64
    std::uint32_t levelCount = 0;
    std::uint32_t levelRecordSize = 0;
    std::uint32_t levelRecordsOffset = 0;
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> firstLevel;  // first up to 100 bytes of the first zoom-level record
};

// Header of a TYP, TRF, MMR or MD2 subfile.
struct AuxInfo {
    std::uint32_t firstFat = 0;
    std::uint32_t subfileSize = 0;
    SubfileType type = typeNone;
    std::uint32_t headerRead = 0;  // at most 512
    std::vector<std::uint8_t> header;
    std::uint32_t fid = 0;
    std::uint32_t pid = 0;
    std::uint32_t codePage = 0;
    std::uint32_t mapRef = 0;  // MMR only
};

struct Subfile {
    SubfileType type = typeNone;
    char name[12] = {};  // 8-character name, 3-character type, NUL
    std::uint32_t size = 0;
    std::uint32_t firstFat = 0;   // index of the part-0 entry in the sorted fatEntries
    std::uint32_t fatOffset = 0;  // byte offset of the part-0 entry in headerBytes
    int map = -1;                 // index in InputFile::maps
    std::optional<std::array<std::uint32_t, gmpPartCount>> gmpParts;  // part offsets of a GMP
    std::optional<TreInfo> tre;
    std::optional<LblInfo> lbl;
    std::optional<DemInfo> dem;
    std::optional<AuxInfo> aux;
    std::uint8_t bad = 0;
};

// One map or data group: consecutive subfiles of one name.
struct MapEntry {
    MapKind kind = noKind;
    std::uint32_t mapId = 0;
    std::uint32_t codePage = 0;
    std::uint32_t dupIndex = 0;
    char name[9] = {};
    char ext[4] = {};  // other data only
    std::uint32_t firstSubfile = 0;
    std::uint32_t subfileCount = 0;
    std::uint32_t typeMask = 0;
    std::uint32_t totalSize = 0;
    int mps = -1;  // index in InputFile::mpsRecords of the linked 'L' record
    const TreInfo* tre = nullptr;
    const LblInfo* lbl = nullptr;
    const DemInfo* dem = nullptr;
    const AuxInfo* aux = nullptr;
    std::uint8_t hasDem = 0;
    std::uint8_t hasRouting = 0;
    std::uint8_t badCount = 0;
    std::uint8_t excluded = 0;  // left out of a family container
    std::uint8_t used = 0;      // chosen for some family container

    // What the split made of the map.
    std::uint32_t mapBlockSize = 0;
    std::uint32_t mapHeaderSize = 0;
    std::uint32_t mapFileSize = 0;
    std::string mapFileName;
    std::uint32_t mapNumber = 0;
    std::string headerText;
    std::uint8_t outOfArea = 0;
    std::uint32_t flatDemSize = 0;
};

// A part-0 entry in FAT order.
struct SubfileIndexEntry {
    std::uint32_t fatOffset = 0;
    std::uint32_t fatIndex = 0;  // index in the sorted fatEntries
    int subfile = -1;            // index in InputFile::subfiles
};

struct MpsRecord {
    std::uint8_t type = 0;  // record letter; 0 once removed
    std::uint8_t used = 0;
    std::uint32_t offset = 0;  // of the record's first byte in mpsData
    std::uint32_t length = 0;  // body length + 3
};

