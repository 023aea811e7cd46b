#include "img/format/catalogue.h"

#include <gtest/gtest.h>

#include "support/img_builder.h"

namespace {

TEST(DuplicateRecords, FirstOfEqualFamilyAndProductStaysInOrder) {
    auto f = [](std::uint8_t fid, char tag) { return mpsRecord('F', {1, 0, fid, 0, std::uint8_t(tag), 0}); };
    const Bytes l = mpsRecord('L', Bytes(30, 1)), v = mpsRecord('V', {}), p1 = mpsRecord('P', {1, 0, 2, 0, 0, 0});
    // p2 repeats p1's numbers. Bodies too short for both numbers are never compared; a record cut by the end stays.
    const Bytes p2 = mpsRecord('P', {1, 0, 2, 0, 9}), sF = mpsRecord('F', {1, 0}), sP = mpsRecord('P', {1, 0, 2});
    Bytes buffer = concat({l, f(2, 'a'), p1, sF, sF, sP, sP, f(3, 'b'), p2, v, f(2, 'd'), {'F', 99, 0, 1}});
    dropDuplicateRecords(buffer);
    EXPECT_EQ(buffer, concat({l, f(2, 'a'), p1, sF, sF, sP, sP, f(3, 'b'), v, {'F', 99, 0, 1}}));
}

TEST(Records, ReadersStayWithinShortAndUnterminatedRecords) {
    // An 'F' name without its NUL, an 'L' of 7 bytes, a record said to reach past the data.
    const Bytes data = concat({mpsRecord('F', {5, 0, 6, 0, 'N', 'a'}), mpsRecord('L', {1, 2, 3, 4}), {'L', 1, 0}});
    const MpsRecord f{'F', 0, 0, 9}, shortL{'L', 0, 9, 7}, cut{'L', 0, 16, 40};
    std::uint16_t fid = 0, pid = 0;
    EXPECT_TRUE(recordIds(data, f, fid, pid) && fid == 6 && pid == 5);
    EXPECT_EQ(familyName(data, f), "Na");
    EXPECT_FALSE(recordIds(data, {'F', 0, 9, 6}, fid, pid) || recordIds(data, cut, fid, pid) || linkable(shortL));
    EXPECT_EQ(mpsMapId(data, shortL) + mpsMapId(data, cut), 0u);
    std::string d;
    EXPECT_FALSE(mapRecordDescription(data, cut, d));

    // 'L': 11 bytes, the series, a description without its NUL, 8 bytes of numbers. The description ends at the
    // numbers, never in them, and has at most 50 bytes.
    Bytes l = concat({Bytes(11), {'S', 0, 'D', 'A', 'r', 'e', 'a'}, Bytes(8, 'x')});
    const auto all = static_cast<std::uint32_t>(l.size());
    EXPECT_TRUE(mapRecordDescription(l, {'L', 0, 0, all}, d) && d == "DArea") << d;
    l.insert(l.begin() + 14, 60, 'z');
    EXPECT_TRUE(mapRecordDescription(l, {'L', 0, 0, all + 60}, d) && d == "D" + std::string(49, 'z')) << d;
    l[12] = 'S';  // no NUL before the numbers
    EXPECT_FALSE(mapRecordDescription(l, {'L', 0, 0, 21}, d) || mapRecordDescription(l, {'L', 0, 0, 40}, d));
}

}  // namespace
