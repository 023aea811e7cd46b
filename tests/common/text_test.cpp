#include "common/text.h"

#include <gtest/gtest.h>

#include "common/date.h"

#include <cstdlib>

namespace {

TEST(StoredDates, YearsBelow256CountFrom1900WithMonthsFrom0) {
    EXPECT_EQ(formatStoredDate({110, 0, 5, 7, 8, 9, 0}), "05.01.2010 07:08:09");
    EXPECT_EQ(formatStoredDate({2010, 1, 5, 7, 8, 9, 0}), "05.01.2010 07:08:09");
    EXPECT_EQ(formatStoredDate({255, 11, 31, 23, 59, 59, 0}), "31.12.2155 23:59:59");
    EXPECT_EQ(formatStoredDate({256, 1, 1, 0, 0, 0, 0}), "01.01.0256 00:00:00");
}

TEST(FieldLengths, TerminatedAndBounded) {
    const std::uint8_t full[] = {'a', 'b', 'c', 'd'};
    const std::uint8_t text[] = {'a', 'b', 0, 'd'};
    EXPECT_EQ(terminatedLength(full, 0, 4), -1);
    EXPECT_EQ(boundedLength(full, 0, 4), 4);
    EXPECT_EQ(terminatedLength(text, 0, 4), 2);
    EXPECT_EQ(boundedLength(text, 0, 4), 2);
    EXPECT_EQ(terminatedLength(text, 2, 4), 0);
    EXPECT_EQ(terminatedLength(text, 3, 4), -1);
    EXPECT_EQ(terminatedLength(text, 4, 4), -1);
    EXPECT_EQ(boundedLength(text, 3, 4), 1);
    EXPECT_EQ(boundedLength(text, 4, 4), 0);
}

TEST(BaseNames, PartAfterTheLastSlash) {
    EXPECT_EQ(baseName("maps/a/b.img"), "b.img");
    EXPECT_EQ(baseName("b.img"), "b.img");
    EXPECT_EQ(baseName("dir/"), "");
    EXPECT_EQ(baseName(static_cast<const char*>(nullptr)), "");
#ifdef _WIN32
    EXPECT_EQ(baseName("C:map.img"), "map.img");
    EXPECT_EQ(baseName("a\\b/c.img"), "c.img");
#else
    // Backslashes and colons are ordinary name characters here.
    EXPECT_EQ(baseName("C:map.img"), "C:map.img");
    EXPECT_EQ(baseName("a/b\\c.img"), "b\\c.img");
#endif
}

TEST(MapKindNames, KnownAndUnknownKinds) {
    EXPECT_STREQ(mapKindName(0), " - ");
    EXPECT_STREQ(mapKindName(7), "IDX");
    EXPECT_STREQ(mapKindName(10), "NT ");
    EXPECT_STREQ(mapKindName(11), " ? ");
    EXPECT_STREQ(mapKindName(5), " ??");
    EXPECT_STREQ(mapKindName(-1), " ??");
    EXPECT_STREQ(mapKindName(12), " ??");
}

}  // namespace

namespace {

TEST(CurrentDate, ReproducibleFromSourceDateEpoch) {
    ::setenv("SOURCE_DATE_EPOCH", "1262315045", 1);  // 2010-01-01 03:04:05 UTC
    takeCurrentDate();
    EXPECT_EQ(currentDate.year, 2010);
    EXPECT_EQ(currentDate.month, 1);
    EXPECT_EQ(currentDate.day, 1);
    EXPECT_EQ(formatStoredDate(currentDate), "01.01.2010 03:04:05");
    // Not a number: the clock is used.
    ::setenv("SOURCE_DATE_EPOCH", "12x", 1);
    takeCurrentDate();
    EXPECT_GE(currentDate.year, 2024);
    ::unsetenv("SOURCE_DATE_EPOCH");
}

}  // namespace
