#include "img/format/tdb.h"

#include <gtest/gtest.h>

#include "common/crc32.h"
#include "support/img_builder.h"

namespace {

struct Block {
    char type;
    size_t offset;  // of the type byte in the file
    Bytes body;
};

// Re-parses the file on its own: type byte, u16 LE body length, body; the blocks must fill the file exactly.
std::vector<Block> readBlocks(const Bytes& file, std::string& types) {
    std::vector<Block> blocks;
    size_t pos = 0;
    while (pos + 3 <= file.size() && pos + 3 + readLe16(file, pos + 1) <= file.size()) {
        const size_t end = pos + 3 + readLe16(file, pos + 1);
        blocks.push_back({char(file[pos]), pos, Bytes(file.begin() + long(pos) + 3, file.begin() + long(end))});
        types += char(file[pos]);
        pos = end;
    }
    EXPECT_EQ(pos, file.size());
    return blocks;
}

TdbMapset mapset(bool version3) {
    return {version3, 7, 0x1234, "Abcde", "clx 0.1.0", 0x11223344, 20, true, false, true, 1252,
            0x100000, 0x200000, -0x300000, -0x400000};
}

// One map with TRE and RGN only; one with all eight listed types scrambled, a second TRE and an unlisted TYP.
std::vector<TdbMap> maps() {
    TdbMap small{63240001, 1, 2, 3, 4, "First", {{typeTre, "63240001", 100}, {typeRgn, "63240001", 200}}};
    TdbMap full{9, -1, -2, -3, -4, "Second", {{typeDem, "ABC", 8}, {typeSrt, "LONGNAME1", 7}, {typeTyp, "T", 77},
                {typeTre, "M2", 4}, {typeNod, "M2", 6}, {typeTre, "DUP", 999}, {typeNet, "M2", 5},
                {typeRgn, "M2", 3}, {typeLbl, "M2", 2}, {typeGmp, "M2", 1}}};
    return {small, full};
}

const Bytes kBounds = Fields().u32(0x10000000).u32(0x20000000).u32(0xD0000000).u32(0xC0000000);
const Bytes kName = Fields().cstr("Abcde");

TEST(Tdb, LongFormBlocksFieldsNamesAndScatteredCrc) {
    const Bytes file = buildTdb(mapset(false), maps());
    std::string types;
    const std::vector<Block> b = readBlocks(file, types);
    ASSERT_EQ(types, "PDRBLLT");
    ASSERT_EQ(b[0].body.size(), 61u);
    EXPECT_EQ(b[0].body, concat({Fields().u16(7).u16(0x1234).u16(407), kName, Fields().u16(100), kName,
                                 {0, 20, 1, 1, 1, 0, 0, 0, 0, 0, 0x18, 0, 0}, Bytes(17),
                                 Fields().u16(1252).u16(0).u32(10000).u8(1).u8(1).u8(1)}));
    EXPECT_EQ(b[1].body, concat({{6, 1, 0, 0}, kName, {6, 1, 0, 0}, Fields().cstr("clx 0.1.0")}));
    EXPECT_EQ(b[2].body, Fields().u8(1).cstr("All").bytes);
    EXPECT_EQ(b[3].body, concat({Fields().u32(0x11223344).u32(0), kBounds, kName}));

    // K = 2, sizes and names RGN before TRE, each name padded to 8 before the dot.
    EXPECT_EQ(b[4].body, concat({Fields().u32(63240001).u32(0x11223344).u32(0x100).u32(0x200).u32(0x300).u32(0x400),
                                 Fields().cstr("First").u16(3).u16(2).u32(200).u32(100), {1, 1, 0},
                                 Fields().u32(256).cstr("63240001.RGN").cstr("63240001.TRE").u16(0)}));
    // All eight in the fixed order, the first TRE only, TYP left out, names padded or cut to 8.
    const Bytes& full = b[5].body;
    ASSERT_EQ(full.size(), 6u + 38 + 17 * 8);
    EXPECT_EQ(Bytes(full.begin() + 31, full.begin() + 35 + 32),
              Fields().u16(9).u16(8).u32(1).u32(2).u32(3).u32(4).u32(5).u32(6).u32(7).u32(8).bytes);
    const std::string names(full.begin() + 74, full.end() - 2);
    EXPECT_EQ(names.substr(0, 13), std::string("M2      .GMP\0", 13));
    EXPECT_EQ(names.substr(39, 13), std::string("M2      .TRE\0", 13));
    EXPECT_EQ(names.substr(78, 26), std::string("LONGNAME.SRT\0ABC     .DEM\0", 26));

    // 'T': the CRC of every byte before it, most significant byte first at 2, 9, 12, 17; the rest zero.
    Bytes t = b[6].body;
    ASSERT_EQ(t.size(), 20u);
    EXPECT_EQ(uint32_t(t[2] << 24 | t[9] << 16 | t[12] << 8 | t[17]), crc32(file.data(), b[6].offset));
    t[2] = t[9] = t[12] = t[17] = 0;
    EXPECT_EQ(t, Bytes(20));
}

TEST(Tdb, ShortFormHasNoRouteOrCrcBlockAndListsRgnTreLbl) {
    const Bytes file = buildTdb(mapset(true), maps());
    std::string types;
    const std::vector<Block> b = readBlocks(file, types);
    ASSERT_EQ(types, "PDBLL");
    EXPECT_EQ(b[0].body, concat({Fields().u16(7).u16(0x1234).u16(300), kName, Fields().u16(100), kName}));
    EXPECT_EQ(b[2].body, concat({Fields().u32(0x11223344).u32(0), kBounds, kName}));
    const Bytes head = Fields().u32(9).u32(0x11223344).u32(0xFFFFFF00).u32(0xFFFFFE00).u32(0xFFFFFD00).u32(0xFFFFFC00);
    EXPECT_EQ(b[4].body, concat({head, Fields().cstr("Second").u16(4).u16(3).u32(3).u32(4).u32(2).u8(1)}));
    EXPECT_EQ(b[3].body.size(), 24u + 6 + 4 + 8 + 1);
}

TEST(Tdb, BoundsWrapAt24BitsAndTextsEndAtInnerNul) {
    TdbMapset m = mapset(false);
    m.name = std::string("Ab\0cd", 5);
    m.north = 0x7FFFFF, m.east = -0x800000, m.south = 0x800000, m.west = -1;
    TdbMap map{5, 0, 0, 0, 0, std::string("Mx\0yz", 5), {{typeLbl, "L", 1}}};
    std::string types;
    const std::vector<Block> b = readBlocks(buildTdb(m, {map}), types);
    ASSERT_EQ(types, "PDRBLT");
    EXPECT_EQ(b[0].body.size(), 2u * 2 + 51);
    EXPECT_EQ(b[1].body, concat({{6, 1, 0, 0, 'A', 'b', 0, 6, 1, 0, 0}, Fields().cstr("clx 0.1.0")}));
    EXPECT_EQ(b[3].body, concat({Fields().u32(0x11223344).u32(0).u32(0x7FFFFF00).u32(0x80000000).u32(0x80000000),
                                 Fields().u32(0xFFFFFF00).cstr("Ab")}));
    EXPECT_EQ(Bytes(b[4].body.begin() + 24, b[4].body.begin() + 27), Fields().cstr("Mx").bytes);
}

TEST(Tdb, MapIsListedOnlyForTypesItsBlockForm) {
    const TdbMap net{1, 0, 0, 0, 0, "", {{typeTyp, "A", 1}, {typeNet, "A", 1}}};
    const TdbMap lbl{1, 0, 0, 0, 0, "", {{typeLbl, "A", 1}}}, other{1, 0, 0, 0, 0, "", {{typeMdr, "A", 1}}};
    EXPECT_TRUE(tdbListsMap(net, false) && tdbListsMap(lbl, false) && tdbListsMap(lbl, true));
    EXPECT_FALSE(tdbListsMap(net, true) || tdbListsMap(other, false) || tdbListsMap(other, true) ||
                 tdbListsMap(TdbMap{}, false));
}

TEST(Crc32, CheckValueAndContinuation) {
    const std::string s = "123456789";
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    EXPECT_EQ(crc32(p, 9), 0xCBF43926u);
    EXPECT_EQ(crc32(p + 4, 5, crc32(p, 4)), 0xCBF43926u);
    EXPECT_EQ(crc32(p, 0), 0u);
}

}  // namespace
