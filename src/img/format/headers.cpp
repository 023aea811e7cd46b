#include "img/format/headers.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "common/message.h"

namespace {

constexpr Msg kBadTre{"Bad data in TRE subfile, file %s.\n", "Złe dane podzbioru TRE, plik %s\n"};
constexpr Msg kBadLbl{"Bad data in LBL subfile, file %s.\n", "Złe dane podzbioru LBL, plik %s.\n"};
constexpr Msg kBadTyp{"== Warning: Bad data in TYP subfile, file %s.\n",
                      "== Ostrzeżenie: Złe dane podzbioru TYP, plik %s.\n"};
constexpr Msg kBadTrf{"== Warning: Bad data in TRF subfile, file %s.\n",
                      "== Ostrzeżenie: Złe dane podzbioru TRF, plik %s.\n"};
constexpr Msg kBadMmr{"== Warning: Bad data in MMR subfile, file %s.\n",
                      "== Ostrzeżenie: Złe dane podzbioru MMR, plik %s.\n"};

// A GMP header up to and including the DEM part offset.
constexpr std::uint32_t kGmpHeaderBytes = 0x31;
// Up to and including the NET part offset: all the LBL reader needs.
constexpr std::uint32_t kGmpLblBytes = 0x29;

constexpr std::uint32_t kTreMaxHeader = 512;
constexpr std::uint32_t kTreMinHeader = 120;  // the map ID at 0x74 must be readable
constexpr std::uint32_t kTreMaxLevels = 128;  // 32 level records
constexpr std::uint32_t kLblMaxHeader = 640;
constexpr std::uint32_t kLblMinHeader = 0xB8;  // through the sort description length
constexpr std::uint32_t kLblLongHeader = 409;
constexpr std::uint32_t kSortNameLimit = 199;
constexpr std::uint32_t kDemHeader = 64;
constexpr std::uint32_t kDemMinHeader = 0x25;  // through the zoom-level records offset
constexpr std::uint32_t kDemFirstLevelMax = 100;
constexpr std::uint32_t kAuxMaxHeader = 512;

bool readBytes(const SubfileSource& source, std::uint64_t offset, std::size_t length, std::vector<std::uint8_t>& out) {
    if (!allocChecked(out, length)) return false;
    return length == 0 || readSource(source, offset, length, out.data());
}

bool hasSignature(const std::vector<std::uint8_t>& header, const char* signature) {
    return header.size() >= 12 && std::memcmp(header.data() + 2, signature, 10) == 0;
}

// Bytes of a header starting at `start` once clipped to the subfile's end;
// -1 when the start itself lies outside.
std::int64_t clippedLength(std::uint64_t start, std::uint64_t want, std::uint64_t size) {
    if (start >= size) return -1;
    return static_cast<std::int64_t>(std::min(want, size - start));
}

bool lies(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// Part offsets of a GMP, from the first `bytes` of its header.
bool readGmpParts(const SubfileSource& source, std::uint32_t bytes, GmpParts& parts) {
    std::vector<std::uint8_t> head;
    if (!readBytes(source, 0, bytes, head)) return false;
    parts.fill(0);
    for (std::size_t i = 0; i < parts.size() && 0x19 + 4 * i + 4 <= head.size(); ++i)
        parts[i] = getU32(head.data() + 0x19 + 4 * i);
    return true;
}

// How far a GMP part's header may reach: up to the next part, unless that one
// is stored before it (unsigned difference, as the offsets are).
std::uint64_t partLimit(std::uint32_t part, std::uint32_t nextPart, std::uint32_t maxHeader) {
    std::uint32_t gap = nextPart - part;
    return std::min(gap, maxHeader);
}

}  // namespace

HeaderRead readTreInfo(const SubfileSource& source, SubfileType type, std::optional<TreInfo>& out,
                      std::optional<GmpParts>& gmpParts) {
    if (type != typeTre && type != typeGmp) return HeaderRead::ok;
    const std::uint64_t size = source.size;
    std::uint64_t start = 0;
    std::uint64_t want = kTreMaxHeader;
    std::uint8_t hasDem = 0, hasRouting = 0;
    if (type == typeGmp) {
        if (size < kGmpHeaderBytes) return HeaderRead::ok;
        GmpParts parts{};
        if (!readGmpParts(source, kGmpHeaderBytes, parts)) return HeaderRead::failed;
        gmpParts = parts;
        start = parts[gmpTre];
        want = partLimit(parts[gmpTre], parts[gmpRgn], kTreMaxHeader);
        hasDem = parts[gmpDem] != 0;
        hasRouting = parts[gmpNod] != 0;
    }
    std::int64_t length = clippedLength(start, want, size);
    if (length < static_cast<std::int64_t>(kTreMinHeader)) return HeaderRead::ok;

    TreInfo info;
    if (!readBytes(source, start, static_cast<std::size_t>(length), info.header)) return HeaderRead::failed;
    if (!hasSignature(info.header, "GARMIN TRE")) {
        say(kBadTre, source.file->path);
        return HeaderRead::badData;
    }
    const std::uint8_t* h = info.header.data();
    std::uint16_t headerLength = getU16(h);
    if (headerLength < 116) return HeaderRead::ok;
    if (headerLength > 119) info.mapId = getU32(h + 0x74);

    info.levelsOffset = getU32(h + 0x21);
    info.levelsSize = getU32(h + 0x25);
    if (!lies(info.levelsOffset, info.levelsSize, size) || info.levelsSize > kTreMaxLevels) return HeaderRead::ok;
    if (!readBytes(source, info.levelsOffset, info.levelsSize, info.levels)) return HeaderRead::failed;

    info.firstFat = source.firstFat;
    info.subfileSize = size;
    info.headerOffset = static_cast<std::uint32_t>(start);
    info.headerRead = static_cast<std::uint32_t>(length);
    info.dataStart = info.headerRead;
    // Inside a GMP the section offsets point past other parts' headers, so
    // only the TRE header's own length bounds its free text there.
    if (type == typeTre)
        for (std::uint32_t at : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u})
            info.dataStart = std::min(info.dataStart, getU32(h + at));
    for (std::size_t i = 0; i + 4 <= info.levels.size(); i += 4) {
        if ((info.levels[i] & 0x80) == 0) {
            info.firstRealLevelBits = info.levels[i + 1];
            break;
        }
    }
    info.hasDem = hasDem;
    info.hasRouting = hasRouting;
    out = std::move(info);
    return HeaderRead::ok;
}

HeaderRead readLblInfo(const SubfileSource& source, SubfileType type, std::optional<LblInfo>& out) {
    if (type != typeLbl && type != typeGmp) return HeaderRead::ok;
    const std::uint64_t size = source.size;
    std::uint64_t start = 0;
    std::uint64_t want = kLblMaxHeader;
    if (type == typeGmp) {
        if (size < kGmpLblBytes) return HeaderRead::ok;
        GmpParts parts{};
        if (!readGmpParts(source, kGmpLblBytes, parts)) return HeaderRead::failed;
        start = parts[gmpLbl];
        want = partLimit(parts[gmpLbl], parts[gmpNet], kLblMaxHeader);
    }
    std::int64_t length = clippedLength(start, want, size);
    if (length < static_cast<std::int64_t>(kLblMinHeader)) return HeaderRead::ok;

    LblInfo info;
    if (!readBytes(source, start, static_cast<std::size_t>(length), info.header)) return HeaderRead::failed;
    if (!hasSignature(info.header, "GARMIN LBL")) {
        say(kBadLbl, source.file->path);
        return HeaderRead::badData;
    }
    const std::uint8_t* h = info.header.data();
    info.sortOffset = getU32(h + 0xB0);
    info.sortLength = getU32(h + 0xB4);
    if (!lies(info.sortOffset, info.sortLength, size) || info.sortLength >= kSortNameLimit) return HeaderRead::ok;
    std::vector<std::uint8_t> sort;
    if (!readBytes(source, info.sortOffset, info.sortLength, sort)) return HeaderRead::failed;
    info.sortName.assign(sort.begin(), sort.end());
    info.sortName.push_back('\0');

    info.codePage = getU16(h + 0xAA);
    if (info.codePage == 0) info.codePage = getU16(h + 0xAC);
    if (info.header.size() > kLblLongHeader && getU16(h) > kLblLongHeader) {
        info.section184Offset = getU32(h + 0x184);
        info.section184Length = getU32(h + 0x188);
        info.section184RecordSize = getU16(h + 0x18C);
        info.section192Offset = getU32(h + 0x192);
        info.section192Length = getU32(h + 0x196);
    }
    info.firstFat = source.firstFat;
    info.subfileSize = size;
    info.headerOffset = static_cast<std::uint32_t>(start);
    info.headerRead = static_cast<std::uint32_t>(length);
    out = std::move(info);
    return HeaderRead::ok;
}

HeaderRead readDemInfo(const SubfileSource& source, SubfileType type, std::optional<DemInfo>& out) {
    if (type != typeDem && type != typeGmp) return HeaderRead::ok;
    const std::uint64_t size = source.size;
    std::uint64_t start = 0;
    if (type == typeGmp) {
        if (size < kGmpHeaderBytes) return HeaderRead::ok;
        GmpParts parts{};
        if (!readGmpParts(source, kGmpHeaderBytes, parts)) return HeaderRead::failed;
        // 0 means the GMP has no elevation part; reading there would take
        // the GMP's own header for one.
        if (parts[gmpDem] == 0) return HeaderRead::ok;
        start = parts[gmpDem];
    }
    std::int64_t length = clippedLength(start, kDemHeader, size);
    if (length < static_cast<std::int64_t>(kDemMinHeader)) return HeaderRead::ok;

    DemInfo info;
    if (!readBytes(source, start, static_cast<std::size_t>(length), info.header)) return HeaderRead::failed;
    const std::uint8_t* h = info.header.data();
    std::uint32_t count = getU16(h + 0x19);
    std::uint32_t recordSize = getU16(h + 0x1F);
    std::uint32_t recordsOffset = getU32(h + 0x21);
    if (count != 0 && recordSize != 0 && lies(recordsOffset, std::uint64_t{count} * recordSize, size)) {
        info.levelCount = count;
        info.levelRecordSize = recordSize;
        info.levelRecordsOffset = recordsOffset;
        if (!readBytes(source, recordsOffset, std::min(recordSize, kDemFirstLevelMax), info.firstLevel)) return HeaderRead::failed;
    }
    info.firstFat = source.firstFat;
    info.subfileSize = size;
    info.headerOffset = static_cast<std::uint32_t>(start);
    info.headerRead = static_cast<std::uint32_t>(length);
    out = std::move(info);
    return HeaderRead::ok;
}

HeaderRead readAuxInfo(const SubfileSource& source, SubfileType type, std::optional<AuxInfo>& out, bool& badSignature) {
    std::uint32_t minimum = 0;
    const char* signature = nullptr;
    const Msg* warning = nullptr;
    switch (type) {
    case typeTyp: minimum = 91; signature = "GARMIN TYP"; warning = &kBadTyp; break;
    case typeTrf: minimum = 73; signature = "GARMIN TRF"; warning = &kBadTrf; break;
    case typeMmr: minimum = 150; signature = "GARMIN MMR"; warning = &kBadMmr; break;
    case typeMd2: minimum = 73; break;
    default: return HeaderRead::ok;
    }
    const std::uint64_t size = source.size;
    if (size < minimum) return HeaderRead::ok;

    AuxInfo info;
    info.type = type;
    std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kAuxMaxHeader, size));
    if (!readBytes(source, 0, length, info.header)) return HeaderRead::failed;
    const std::uint8_t* h = info.header.data();
    // An MD2 header does not start with the common header.
    if (signature && getU16(h) < minimum) return HeaderRead::ok;

    if (signature && !hasSignature(info.header, signature)) {
        warn(*warning, source.file->path);
        badSignature = true;
    }
    switch (info.type) {
    case typeTyp:
        info.fid = getU16(h + 0x2F);
        info.pid = getU16(h + 0x31);
        info.codePage = getU16(h + 0x15);
        break;
    case typeTrf:
        info.codePage = getU16(h + 0x27);
        break;
    case typeMmr: {
        info.codePage = getU16(h + 0x8C);
        std::uint32_t refOffset = getU32(h + 0x80);
        std::uint32_t refLength = getU32(h + 0x84);
        std::uint16_t refCount = getU16(h + 0x88);
        if (refCount > 3 && refLength > 3 && lies(refOffset, refLength, size)) {
            std::vector<std::uint8_t> ref;
            if (!readBytes(source, refOffset, 4, ref)) return HeaderRead::failed;
            info.mapRef = getU32(ref.data());
        }
        break;
    }
    default:
        break;
    }
    info.firstFat = source.firstFat;
    info.subfileSize = size;
    info.headerRead = static_cast<std::uint32_t>(length);
    out = std::move(info);
    return HeaderRead::ok;
}

void treRawBounds(const TreInfo& tre, std::uint32_t& north, std::uint32_t& east, std::uint32_t& south,
                  std::uint32_t& west) {
    // A record is kept only with a header of at least kTreMinHeader bytes.
    const std::uint8_t* h = tre.header.data();
    north = getU24(h + 0x15);
    east = getU24(h + 0x18);
    south = getU24(h + 0x1B);
    west = getU24(h + 0x1E);
}

MapBounds treBounds(const TreInfo& tre) {
    std::uint32_t n, e, s, w;
    treRawBounds(tre, n, e, s, w);
    return {northEastUnits(n), northEastUnits(e), southWestUnits(s), southWestUnits(w)};
}

std::uint32_t treRealLevels(const TreInfo& tre) {
    std::uint32_t count = 0;
    for (std::size_t i = tre.levels.size() / 4; i > 0 && !(tre.levels[4 * (i - 1)] & 0x80); --i) ++count;
    return count;
}
