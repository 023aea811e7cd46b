// What is kept of the subfile headers: TRE (or the TRE part of a GMP), LBL,
// DEM, and the TYP, TRF, MMR and MD2 headers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "img/container/subfile_io.h"
#include "img/format/map_units.h"
#include "img/format/subfile_types.h"

// The order of the parts in a GMP header (offsets at 0x19, 0x1D, ...).
enum GmpPart { gmpTre, gmpRgn, gmpLbl, gmpNet, gmpNod, gmpDem, gmpPartCount };

using GmpParts = std::array<std::uint32_t, gmpPartCount>;

// Header of a TRE subfile or of the TRE part of a GMP.
struct TreInfo {
    std::uint32_t firstFat = 0;
    std::uint64_t subfileSize = 0;
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

// The map's bounds from its TRE header (north 0x15, east 0x18, south 0x1B,
// west 0x1E), made signed.
MapBounds treBounds(const TreInfo& tre);

// The 24-bit raw bounds, as stored.
void treRawBounds(const TreInfo& tre, std::uint32_t& north, std::uint32_t& east, std::uint32_t& south,
                  std::uint32_t& west);

// The number of levels counted from the last level record backwards while
// the record is not marked inherited.
std::uint32_t treRealLevels(const TreInfo& tre);

struct LblInfo {
    std::uint32_t firstFat = 0;
    std::uint64_t subfileSize = 0;
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
    std::uint64_t subfileSize = 0;
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
    std::uint64_t subfileSize = 0;
    SubfileType type = typeNone;
    std::uint32_t headerRead = 0;  // at most 512
    std::vector<std::uint8_t> header;
    std::uint32_t fid = 0;
    std::uint32_t pid = 0;
    std::uint32_t codePage = 0;
    std::uint32_t mapRef = 0;  // MMR only
};

enum class HeaderRead {
    ok,       // read, or nothing to keep (another type, a header too short)
    badData,  // a wrong TRE or LBL signature (message printed)
    failed,   // the bytes could not be read (message printed)
};

// Each reads only its own types (TRE or GMP; LBL or GMP; DEM or GMP; TYP,
// TRF, MMR or MD2) and keeps no record for the others or for a header too
// short to hold what is kept. The TRE reader also gives a GMP's part offsets.
HeaderRead readTreInfo(const SubfileSource& source, SubfileType type, std::optional<TreInfo>& out,
                       std::optional<GmpParts>& gmpParts);
HeaderRead readLblInfo(const SubfileSource& source, SubfileType type, std::optional<LblInfo>& out);
HeaderRead readDemInfo(const SubfileSource& source, SubfileType type, std::optional<DemInfo>& out);
// A TYP, TRF or MMR header with the wrong signature is still kept, with the
// warning printed and badSignature set: the subfile is then other data.
HeaderRead readAuxInfo(const SubfileSource& source, SubfileType type, std::optional<AuxInfo>& out,
                       bool& badSignature);
