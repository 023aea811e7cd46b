// The in-memory model of an input: what its file holds. Subfiles with what
// their headers say, maps and data groups, and the catalogue records. What a
// command decides about them lives in the command's own records.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/text.h"
#include "img/container/container_file.h"
#include "img/format/catalogue.h"
#include "img/format/headers.h"
#include "img/format/subfile_types.h"
#include "img/model/map_kind.h"

// Map IDs run from 1 to this.
inline constexpr std::uint32_t kMaxMapId = 99999999;

struct Subfile {
    SubfileType type = typeNone;
    FixedText<11> name;  // 8-character name, then the 3-character type
    std::uint64_t size = 0;
    std::uint32_t firstFat = 0;   // index of the part-0 entry in the sorted fatEntries
    std::uint32_t fatOffset = 0;  // byte offset of the part-0 entry in headerBytes
    int map = -1;                 // index in InputFile::maps
    std::optional<GmpParts> gmpParts;
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
    FixedText<8> name;
    char ext[4] = {};  // other data only
    std::uint32_t firstSubfile = 0;
    std::uint32_t subfileCount = 0;
    std::uint32_t typeMask = 0;
    std::uint64_t totalSize = 0;
    int mps = -1;  // index in InputFile::mpsRecords of the linked 'L' record
    // The members whose headers stand for the map (indices in InputFile::subfiles).
    int treSubfile = -1;
    int lblSubfile = -1;
    int demSubfile = -1;
    int auxSubfile = -1;
    std::uint8_t hasDem = 0;
    std::uint8_t hasRouting = 0;
    std::uint8_t badCount = 0;
};

// A part-0 entry in FAT order.
struct SubfileIndexEntry {
    std::uint32_t fatOffset = 0;
    std::uint32_t fatIndex = 0;  // index in the sorted fatEntries
    int subfile = -1;            // index in InputFile::subfiles
};

struct InputFile : ContainerFile {
    // 0 read; 1 cannot be opened; 2 size unknown; 3 rejected by the header
    // checks; 4 FAT or subfile headers; 5 map grouping; 6 MPS read; 7 MPS parse.
    int status = 0;

    std::vector<Subfile> subfiles;                // sorted FAT order; never resized after reading
    std::vector<SubfileIndexEntry> subfileIndex;  // FAT order
    std::vector<MapEntry> maps;                   // in the order they were built
    std::vector<int> mapList;                     // maps in the order of their first subfile in the FAT

    int mpsMap = -1;  // index in mapList of the catalogue
    std::uint32_t mpsLength = 0;
    std::vector<std::uint8_t> mpsData;  // the catalogue, its spare bytes, then room to grow
    std::uint32_t mpsPad = 0;
    std::vector<MpsRecord> mpsRecords;

    // Inputs that hold one subfile (or other data) rather than a container.
    MapKind inputKind = noKind;  // noKind for a container; trfData, typData, mmrData, md2Data or otherData
    std::uint64_t rawLength = 0;
    std::uint32_t fid = 0;
    std::uint32_t pid = 0;
    std::uint32_t codePage = 0;
    SubfileType detectedType = typeNone;
    Subfile single;

    bool isContainer() const { return inputKind == noKind && hasContainer(); }
};

// Inputs in command-line order; a deque keeps every record in place while the
// list grows, so references to an input stay valid.
using InputList = std::deque<InputFile>;

// The header records that stand for a map, or null.
const TreInfo* mapTre(const InputFile& input, const MapEntry& map);
const LblInfo* mapLbl(const InputFile& input, const MapEntry& map);
const DemInfo* mapDem(const InputFile& input, const MapEntry& map);
const AuxInfo* mapAux(const InputFile& input, const MapEntry& map);

// Where the run's outputs go, with the identities of its inputs, which no
// output may replace.
OutputPlace outputPlace(const InputList& inputs, const std::string& dir);

// Where a subfile's bytes are.
SubfileSource sourceOf(InputFile& input, const Subfile& subfile);

// The map number a map carries: the TRE map ID, else the number in its name;
// 0 when there is none.
std::uint32_t mapNumber(const InputFile& input, const MapEntry& map);

// The map ID a map name stands for ("I" and 7 hexadecimal digits, or 8
// decimal digits), or 0.
std::uint32_t mapIdFromName(const char* name8);
