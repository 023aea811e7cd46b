#include "img/format/catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes record(char letter, Bytes body) {
    Bytes r = {std::uint8_t(letter), std::uint8_t(body.size()), std::uint8_t(body.size() >> 8)};
    r.insert(r.end(), body.begin(), body.end());
    return r;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(DuplicateRecords, FirstOfEqualFamilyAndProductStaysInOrder) {
    auto f = [](std::uint8_t fid, char tag) { return record('F', {1, 0, fid, 0, std::uint8_t(tag), 0}); };
    const Bytes l = record('L', Bytes(30, 1)), p1 = record('P', {1, 0, 2, 0, 0, 0}), p2 = record('P', {1, 0, 2, 0, 9});
    // Bodies too short for both numbers are never compared; a record cut by the end stays as it is.
    const Bytes sF = record('F', {1, 0}), sP = record('P', {1, 0, 2});
    Bytes buffer = join({l, f(2, 'a'), p1, sF, sF, sP, sP, f(3, 'b'), p2, record('V', {}), f(2, 'd'), {'F', 99, 0, 1}});
    dropDuplicateRecords(buffer);
    EXPECT_EQ(buffer, join({l, f(2, 'a'), p1, sF, sF, sP, sP, f(3, 'b'), record('V', {}), {'F', 99, 0, 1}}));
}

TEST(Records, SplitStopsAtARaggedEnd) {
    Bytes data = join({record('L', Bytes(20, 1)), record('V', {'a', 0}), {'F', 9, 0, 1}});  // 'F' holds 1 of 9
    bool exact = false;
    EXPECT_TRUE(splitMpsRecords(data, 28, exact).size() == 2 && exact);
    const std::vector<MpsRecord> r = splitMpsRecords(data, 1000, exact);  // past the data: as far as it goes
    ASSERT_EQ(r.size(), 2u);
    EXPECT_FALSE(exact);
    EXPECT_EQ(std::tie(r[1].type, r[1].offset, r[1].length), std::make_tuple(std::uint8_t{'V'}, 23u, 5u));
    EXPECT_TRUE(splitMpsRecords(data, 2, exact).empty());
}

TEST(Records, ReadersStayWithinShortAndUnterminatedRecords) {
    // An 'F' name without its NUL, an 'L' of 7 bytes, a record said to reach past the data.
    const Bytes data = join({record('F', {5, 0, 6, 0, 'N', 'a'}), record('L', {1, 2, 3, 4}), {'L', 1, 0}});
    const MpsRecord f{'F', 0, 0, 9}, shortL{'L', 0, 9, 7}, cut{'L', 0, 16, 40};
    std::uint16_t fid = 0, pid = 0;
    EXPECT_TRUE(recordIds(data, f, fid, pid) && fid == 6 && pid == 5);
    EXPECT_EQ(familyName(data, f), "Na");
    EXPECT_FALSE(recordIds(data, {'F', 0, 9, 6}, fid, pid) || recordIds(data, cut, fid, pid) || linkable(shortL));
    EXPECT_EQ(mpsMapId(data, shortL) + mpsMapId(data, cut), 0u);
    std::string d;
    EXPECT_FALSE(mapRecordDescription(data, cut, d));

    // 'L': 11 bytes, series, description, area (unterminated), 8 bytes of numbers.
    Bytes l = join({Bytes(11), {'S', 0, 0, 'A', 'r', 'e', 'a'}, Bytes(8, 'x')});
    const auto all = static_cast<std::uint32_t>(l.size());
    MapRecordTexts t = mapRecordTexts(l.data(), l.size(), all);
    EXPECT_EQ(t.text[0], "S");
    EXPECT_TRUE(t.present[0] && !t.present[1] && !t.present[2]);  // an empty text is absent
    EXPECT_FALSE(mapRecordTexts(l.data(), 12, all).present[0]);   // its NUL not held
    EXPECT_FALSE(mapRecordTexts(l.data(), l.size(), 7).present[0]);
    l[13] = 'D';  // the description runs up to the numbers, never into them, and at most 50 bytes
    EXPECT_TRUE(mapRecordDescription(l, {'L', 0, 0, all}, d) && d == "DArea") << d;
    l.insert(l.begin() + 14, 60, 'z');
    EXPECT_TRUE(mapRecordDescription(l, {'L', 0, 0, all + 60}, d) && d == "D" + std::string(49, 'z')) << d;
    l[12] = 'S';  // no NUL before the numbers
    EXPECT_FALSE(mapRecordDescription(l, {'L', 0, 0, 21}, d) || mapRecordDescription(l, {'L', 0, 0, 40}, d));
}

TEST(RecordBuilding, ByteLayout) {
    Bytes out = {0xEE};  // appended to
    appendMapRecord(out, 0x10002, 0x30003, 0x01020304, "AB", "d");
    appendMapsetRecord(out, "XY");
    appendProductRecords(out, "Fam", 0x10005, 6);
    const Bytes expected = {
        0xEE, 'L', 24, 0, 2, 0, 3, 0, 4, 3, 2, 1, 'A', 'B', 0, 'd', 0, 'A', 'B', 0, 4, 3, 2, 1, 0, 0, 0, 0,
        'V', 4, 0, 'X', 'Y', 0, 0,
        'P', 10, 0, 5, 0, 6, 0, 0, 0, 0, 0, 0, 0,
        'F', 8, 0, 5, 0, 6, 0, 'F', 'a', 'm', 0,
    };
    EXPECT_EQ(out, expected);
}

}  // namespace
