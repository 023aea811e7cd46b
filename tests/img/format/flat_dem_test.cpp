// The flat elevation subfile of maps without elevation data.
#include <gtest/gtest.h>

#include "common/bytes.h"
#include "img/format/flat_dem.h"

TEST(FlatDem, SpansOfTheWholeWorldDoNotWrapToNothing) {
    const std::uint8_t date[7] = {0xE8, 0x07, 1, 1, 12, 0, 0};
    std::vector<std::uint8_t> dem;
    ASSERT_EQ(buildFlatDem(dem, 0x800000, 0x800000, -0x800000, -0x800000, date, 2), 64u * 2 + 37);
    const std::uint8_t* second = dem.data() + 4 * 2 + 37 + 60;  // the second level's record
    EXPECT_EQ(second[1], 1);
    EXPECT_EQ(getU32(second + 40), 0x80000000u);  // west, shifted
    EXPECT_EQ(getU32(second + 48), 0xFFFFFFFFu);  // 360 degrees high and wide: the largest span
    EXPECT_EQ(getU32(second + 52), 0xFFFFFFFFu);
    EXPECT_EQ(std::vector<std::uint8_t>(dem.begin() + 14, dem.begin() + 21), std::vector<std::uint8_t>(date, date + 7));
}
