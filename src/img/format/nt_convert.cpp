#include "img/format/nt_convert.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/img_writer.h"

namespace {

constexpr Msg kUnknown{"Unknown %s header format.\n", "Nieznany format nagłówka %s.\n"};

// A section offset in a header, moved only when the header is longer than
// `above`: then it holds the whole section descriptor.
struct Field {
    std::uint32_t at;
    std::uint32_t above;
};

const Field kTreFields[] = {{0x21, 40}, {0x29, 48},  {0x31, 58},  {0x4A, 83},  {0x58, 97},
                            {0x66, 111}, {0x7C, 133}, {0x8A, 147}, {0xAE, 183}, {0xBC, 197}};
const Field kRgnFields[] = {{0x15, 28}, {0x1D, 36}, {0x39, 64}, {0x55, 92}, {0x71, 120}};
const Field kRgnExtFields[] = {{0x02, 9}};
const Field kLblFields[] = {{0x15, 28},   {0x1F, 40},   {0x2D, 54},   {0x3B, 68},   {0x49, 82},   {0x57, 94},
                            {0x64, 109},  {0x72, 123},  {0x80, 137},  {0x8E, 151},  {0x9C, 165},  {0xB0, 183},
                            {0xB8, 193},  {0xC4, 205},  {0xD0, 215},  {0xDE, 229},  {0xEC, 243},  {0xFA, 257},
                            {0x108, 271}, {0x116, 285}, {0x124, 299}, {0x132, 313}, {0x140, 327}, {0x14E, 341},
                            {0x15A, 353}, {0x168, 367}, {0x176, 381}, {0x184, 397}, {0x192, 409}, {0x19A, 417},
                            {0x1A6, 429}, {0x1B2, 441}, {0x1BE, 453}};
const Field kNetFields[] = {{0x15, 28}, {0x1E, 37}, {0x27, 48}, {0x43, 74}, {0x4C, 83}, {0x56, 93}};
const Field kNodFields[] = {{0x15, 28}, {0x25, 44}, {0x31, 56}, {0x3F, 70}};
const Field kDemFields[] = {{0x21, 36}};

// The parts in the order of the GMP header's offsets, with the longest
// header the format knows for each.
struct Rule {
    SubfileType type;
    const char* name;
    std::uint32_t longestHeader;
    const Field* fields;
    std::size_t fieldCount;
};

template <std::size_t N>
constexpr Rule rule(SubfileType type, const char* name, std::uint32_t longest, const Field (&fields)[N]) {
    return {type, name, longest, fields, N};
}

const Rule kRules[] = {rule(typeTre, "TRE", 211, kTreFields), rule(typeRgn, "RGN", 125, kRgnFields),
                       rule(typeLbl, "LBL", 458, kLblFields), rule(typeNet, "NET", 100, kNetFields),
                       rule(typeNod, "NOD", 127, kNodFields), rule(typeDem, "DEM", 41, kDemFields)};
constexpr std::size_t kParts = std::size(kRules);

constexpr std::uint32_t kRgnExtLongest = 14;
constexpr std::uint32_t kDemShortest = 37;
constexpr std::uint32_t kDemLongestRecord = 60;
constexpr std::uint32_t kTreDateEnd = 0x15;

// One part as it goes into the GMP.
struct Part {
    const std::vector<std::uint8_t>* bytes = nullptr;
    std::uint32_t headerLength = 0;  // as copied
    std::uint64_t area = 0;          // the header area: the header and what stays with it
    std::uint64_t at = 0;            // of the header area in the GMP
    std::uint64_t data = 0;          // of the data area in the GMP

    std::uint64_t size() const { return bytes->size(); }
    // Where a byte of the source subfile lands in the GMP.
    std::uint64_t placed(std::uint64_t source) const { return source < area ? at + source : data + (source - area); }
    // What section offsets move by.
    std::uint32_t shift() const { return static_cast<std::uint32_t>(data - area); }
};

bool unknown(const Rule& r) {
    say(kUnknown, r.name);
    return false;
}

// The header length and area of one part, checked to lie inside its subfile.
bool measure(const Rule& r, const std::vector<std::uint8_t>& b, std::uint32_t treDataStart, Part& p) {
    p.bytes = &b;
    if (b.size() < 2) return unknown(r);
    p.headerLength = getU16(b.data());
    if (p.headerLength < 2) return unknown(r);
    p.area = p.headerLength;
    switch (r.type) {
    case typeTre:
        p.area = std::max(p.area, std::uint64_t{treDataStart});
        if (p.area < kTreDateEnd) return unknown(r);
        break;
    case typeRgn:
        // The data offset at 0x15, when the header holds it, may leave an
        // extension block behind the header.
        if (p.headerLength > 28 && b.size() >= 0x19) p.area = std::max(p.area, std::uint64_t{getU32(b.data() + 0x15)});
        break;
    case typeNet:
        // A header said to be longer than its subfile is cut to it.
        p.headerLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(p.headerLength, b.size()));
        p.area = p.headerLength;
        break;
    default:
        break;
    }
    return p.area <= b.size() || unknown(r);
}

// The limits of the format, part by part in the GMP's order.
bool known(const Rule& r, const Part& p) {
    const std::uint8_t* b = p.bytes->data();
    if (p.headerLength > r.longestHeader) return unknown(r);
    if (r.type == typeRgn && p.area > p.headerLength) {
        static const Rule ext{typeRgn, "RGN_EXT", kRgnExtLongest, kRgnExtFields, std::size(kRgnExtFields)};
        const std::uint64_t block = p.area - p.headerLength;
        if (block < 2) return unknown(ext);
        const std::uint32_t length = getU16(b + p.headerLength);
        if (length > kRgnExtLongest || length > block) return unknown(ext);
    }
    if (r.type == typeDem) {
        // Records that cannot be found or do not fit refuse the map quietly.
        if (p.headerLength < kDemShortest) return false;
        const std::uint64_t count = getU16(b + 0x19), size = getU16(b + 0x1F), first = getU32(b + 0x21);
        if (size > kDemLongestRecord || first > p.size() || count * size > p.size() - first) return false;
    }
    return true;
}

std::uint32_t placedU32(const std::vector<std::uint8_t>& gmp, const Part& p, std::uint64_t source) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | gmp[p.placed(source + i)];
    return v;
}

void putPlacedU32(std::vector<std::uint8_t>& gmp, const Part& p, std::uint64_t source, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) gmp[p.placed(source + i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Moves a section offset of the source by the part's shift; 0 means no
// section and stays.
void move(std::vector<std::uint8_t>& gmp, const Part& p, std::uint64_t source) {
    if (std::uint32_t v = placedU32(gmp, p, source)) putPlacedU32(gmp, p, source, v + p.shift());
}

void moveOffsets(std::vector<std::uint8_t>& gmp, const Rule& r, const Part& p) {
    const std::uint8_t* b = p.bytes->data();
    if (r.type == typeRgn && p.area > p.headerLength && getU16(b + p.headerLength) > kRgnExtFields[0].above)
        move(gmp, p, p.headerLength + kRgnExtFields[0].at);
    if (r.type == typeDem) {
        // The zoom-level records carry offsets into the DEM data.
        const std::uint64_t count = getU16(b + 0x19), size = getU16(b + 0x1F), first = getU32(b + 0x21);
        for (std::uint64_t i = 0; i < count; ++i) {
            if (size >= 36) move(gmp, p, first + i * size + 32);
            if (size >= 40) move(gmp, p, first + i * size + 36);
        }
    }
    for (std::size_t i = 0; i < r.fieldCount; ++i)
        if (p.headerLength > r.fields[i].above) move(gmp, p, r.fields[i].at);
}

}  // namespace

bool buildGmp(const std::vector<GmpMember>& members, std::uint32_t treDataStart, std::vector<std::uint8_t>& gmp) {
    Part parts[kParts];
    bool present[kParts] = {};
    for (const GmpMember& m : members)
        for (std::size_t i = 0; i < kParts; ++i) {
            if (kRules[i].type != m.type) continue;
            if (present[i]) return false;  // a map has one subfile of each type
            present[i] = true;
            parts[i].bytes = &m.bytes;
        }
    if (!present[0]) return false;
    for (std::size_t i = 0; i < kParts; ++i)
        if (present[i] && !measure(kRules[i], *parts[i].bytes, treDataStart, parts[i])) return false;
    for (std::size_t i = 0; i < kParts; ++i)
        if (present[i] && !known(kRules[i], parts[i])) return false;

    // The header areas one after another, then the data areas.
    std::uint64_t end = kGmpHeaderSize;
    for (std::size_t i = 0; i < kParts; ++i) {
        if (!present[i]) continue;
        parts[i].at = end;
        end += parts[i].area;
    }
    for (std::size_t i = 0; i < kParts; ++i) {
        if (!present[i]) continue;
        parts[i].data = end;
        end += parts[i].size() - parts[i].area;
    }
    if (end > 0xFFFFFFFFu) {
        reportTooBig();
        return false;
    }
    if (!allocChecked(gmp, static_cast<std::size_t>(end))) return false;
    std::fill(gmp.begin(), gmp.end(), 0);

    std::uint8_t* h = gmp.data();
    putU16(h, kGmpHeaderSize - 10);
    std::memcpy(h + 0x02, "GARMIN GMP", 10);
    h[0x0C] = 1;
    std::memcpy(h + 0x0E, parts[0].bytes->data() + 0x0E, 7);
    std::memcpy(h + 0x35, "Cartolux", 9);
    for (std::size_t i = 0; i < kParts; ++i) {
        if (!present[i]) continue;
        const Part& p = parts[i];
        const std::uint8_t* b = p.bytes->data();
        putU32(h + 0x19 + 4 * i, static_cast<std::uint32_t>(p.at));
        std::copy(b, b + p.area, h + p.at);
        std::copy(b + p.area, b + p.size(), h + p.data);
        putU16(h + p.at, p.headerLength);
    }
    for (std::size_t i = 0; i < kParts; ++i)
        if (present[i]) moveOffsets(gmp, kRules[i], parts[i]);
    return true;
}
