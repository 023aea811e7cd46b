#include "img/format/tdb.h"

#include <array>
#include <string_view>

#include "common/bytes.h"
#include "common/crc32.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The types a long map block lists, in the order it lists them.
constexpr std::array<SubfileType, 8> kLongTypes = {typeGmp, typeLbl, typeRgn, typeTre,
                                                   typeNet, typeNod, typeSrt, typeDem};
constexpr std::array<SubfileType, 3> kShortTypes = {typeRgn, typeTre, typeLbl};

void add8(Bytes& b, std::uint8_t v) { b.push_back(v); }

void add16(Bytes& b, std::uint32_t v) {
    b.resize(b.size() + 2);
    putU16(b.data() + b.size() - 2, v);
}

void add32(Bytes& b, std::uint32_t v) {
    b.resize(b.size() + 4);
    putU32(b.data() + b.size() - 4, v);
}

void addZeros(Bytes& b, std::size_t n) { b.resize(b.size() + n, 0); }

void addText(Bytes& b, std::string_view text) {
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
}

// The name and the description are C strings to the reader: they end at an inner NUL.
std::string_view untilNul(const std::string& s) { return std::string_view(s).substr(0, s.find('\0')); }

// Map units are 24-bit; the blocks hold them in the top 24 bits of 32.
void addBounds(Bytes& b, std::int32_t north, std::int32_t east, std::int32_t south, std::int32_t west) {
    for (std::int32_t v : {north, east, south, west}) add32(b, static_cast<std::uint32_t>(v) << 8);
}

// Starts a block and returns where it starts; endBlock fills in its body length.
std::size_t beginBlock(Bytes& b, char type) {
    const std::size_t start = b.size();
    add8(b, static_cast<std::uint8_t>(type));
    add16(b, 0);
    return start;
}

void endBlock(Bytes& b, std::size_t start) {
    putU16(b.data() + start + 1, static_cast<std::uint32_t>(b.size() - start - 3));
}

// The first subfile of each listed type present, in the listed order.
template <std::size_t N>
std::vector<const TdbSubfile*> listed(const TdbMap& map, const std::array<SubfileType, N>& types) {
    std::vector<const TdbSubfile*> found;
    for (SubfileType t : types)
        for (const TdbSubfile& s : map.subfiles)
            if (s.type == t) {
                found.push_back(&s);
                break;
            }
    return found;
}

void addProduct(Bytes& b, const TdbMapset& m) {
    const std::size_t start = beginBlock(b, 'P');
    const std::string_view name = untilNul(m.name);
    add16(b, m.productId);
    add16(b, m.familyId);
    add16(b, m.version3 ? 300 : 407);
    addText(b, name);
    add16(b, 100);
    addText(b, name);
    if (!m.version3) {
        add8(b, 0);
        add8(b, m.levelBits);
        for (int i = 0; i < 3; ++i) add8(b, 1);
        addZeros(b, 5);
        add8(b, m.routing ? 0x18 : 0);
        add8(b, 0);
        add8(b, m.marine ? 1 : 0);
        addZeros(b, 17);
        add16(b, m.codePage);
        add16(b, 0);
        add32(b, 10000);
        add8(b, 1);
        add8(b, m.allDem ? 1 : 0);
        add8(b, 1);
    }
    endBlock(b, start);
}

void addCopyright(Bytes& b, const TdbMapset& m) {
    const std::size_t start = beginBlock(b, 'D');
    for (std::string_view text : {untilNul(m.name), std::string_view(m.identification)}) {
        add8(b, 6);
        add8(b, 1);
        add16(b, 0);
        addText(b, text);
    }
    endBlock(b, start);
}

void addPreview(Bytes& b, const TdbMapset& m) {
    const std::size_t start = beginBlock(b, 'B');
    add32(b, m.previewNumber);
    add32(b, 0);
    addBounds(b, m.north, m.east, m.south, m.west);
    addText(b, untilNul(m.name));
    endBlock(b, start);
}

void addMap(Bytes& b, const TdbMapset& m, const TdbMap& map) {
    const std::size_t start = beginBlock(b, 'L');
    add32(b, map.number);
    add32(b, m.previewNumber);
    addBounds(b, map.north, map.east, map.south, map.west);
    addText(b, untilNul(map.description));
    const std::vector<const TdbSubfile*> subfiles = m.version3 ? listed(map, kShortTypes) : listed(map, kLongTypes);
    const auto count = static_cast<std::uint32_t>(subfiles.size());
    add16(b, count + 1);
    add16(b, count);
    for (const TdbSubfile* s : subfiles) add32(b, s->size);
    if (m.version3) {
        add8(b, 1);
    } else {
        for (std::uint8_t v : {1, 1, 0}) add8(b, v);
        add32(b, 256);
        for (const TdbSubfile* s : subfiles) {
            std::string name = s->name8.substr(0, 8);
            name.resize(8, ' ');
            name += '.';
            name.append(typeName(s->type), 3);
            addText(b, name);
        }
        add16(b, 0);
    }
    endBlock(b, start);
}

// The CRC of everything before the block, its bytes scattered over a zero body.
void addChecksum(Bytes& b) {
    const std::uint32_t crc = crc32(b.data(), b.size());
    const std::size_t start = beginBlock(b, 'T');
    addZeros(b, 20);
    std::uint8_t* body = b.data() + start + 3;
    body[2] = static_cast<std::uint8_t>(crc >> 24);
    body[9] = static_cast<std::uint8_t>(crc >> 16);
    body[12] = static_cast<std::uint8_t>(crc >> 8);
    body[17] = static_cast<std::uint8_t>(crc);
    endBlock(b, start);
}

}  // namespace

bool tdbListsMap(const TdbMap& map, bool version3) {
    return version3 ? !listed(map, kShortTypes).empty() : !listed(map, kLongTypes).empty();
}

std::vector<std::uint8_t> buildTdb(const TdbMapset& mapset, const std::vector<TdbMap>& maps) {
    Bytes b;
    addProduct(b, mapset);
    addCopyright(b, mapset);
    if (!mapset.version3) {
        const std::size_t start = beginBlock(b, 'R');
        add8(b, 1);
        addText(b, "All");
        endBlock(b, start);
    }
    addPreview(b, mapset);
    for (const TdbMap& map : maps) addMap(b, mapset, map);
    if (!mapset.version3) addChecksum(b);
    return b;
}
