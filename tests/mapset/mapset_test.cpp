// What the mapset says of itself: the gathered description and the preview
// map's number.
#include <gtest/gtest.h>

#include "img/format/tdb.h"
#include "mapset/mapset_info.h"
#include "mapset/preview.h"

namespace {

// An input of maps with the given code pages; the first one has a TRE with
// the raw bounds given and levels whose first record has `topBits` bits.
InputFile inputWith(std::vector<std::uint32_t> codePages, std::uint32_t north, std::uint32_t south, std::uint8_t topBits) {
    InputFile input;
    TreInfo tre;
    tre.header.assign(0x80, 0);
    for (int i = 0; i < 3; ++i) {
        tre.header[0x15 + i] = static_cast<std::uint8_t>(north >> 8 * i);
        tre.header[0x1B + i] = static_cast<std::uint8_t>(south >> 8 * i);
    }
    tre.levels = {0x81, topBits, 1, 0, 0x00, 22, 1, 0};
    input.subfiles.resize(1);
    input.subfiles[0].tre = tre;
    for (std::uint32_t cp : codePages) {
        MapEntry& map = input.maps.emplace_back();
        map.codePage = cp;
        map.treSubfile = input.maps.size() == 1 ? 0 : -1;
        input.mapList.push_back(static_cast<int>(input.maps.size() - 1));
    }
    return input;
}

MapsetInfo gathered(const InputList& inputs, std::string& said, std::uint32_t codePage = 0) {
    std::vector<InputSplit> splits(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) splits[i].maps.resize(inputs[i].maps.size());
    MapsetSettings settings;
    settings.familyId = 1;
    settings.mapsetName = "x";
    settings.codePage = codePage;
    MapsetInfo info;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(gatherMapsetInfo({inputs, splits}, settings, info));
    said = testing::internal::GetCapturedStdout();
    return info;
}

TEST(MapsetInfo, CodePagesBoundsAndLevels) {
    std::string said;
    InputList inputs;
    // 0x800000 is +180 as a north bound and -180 as a south bound.
    inputs.push_back(inputWith({1250, 1252, 1252}, 0x800000, 0x800000, 24));
    inputs.push_back(inputWith({1250, 1257, 1250}, 0x100000, 0x0F0000, 4));
    MapsetInfo info = gathered(inputs, said);
    EXPECT_EQ(info.codePage, 1250u);  // every map counts: 1250 three times
    EXPECT_EQ(said, "Multiple Code Pages, using 1250.\n");
    EXPECT_EQ(info.bounds.north, 0x800000);
    EXPECT_EQ(info.bounds.south, -0x800000);
    EXPECT_EQ(info.topLevelBits, 8);  // 4 bits, clamped
    EXPECT_EQ(info.realLevelBits, 22);
    EXPECT_EQ(info.mapCount, 6u);

    inputs.pop_back();
    EXPECT_EQ(gathered(inputs, said, 1257).codePage, 1257u);  // -c wins, silently
    EXPECT_EQ(said, "");
    EXPECT_EQ(gathered(inputs, said).topLevelBits, 18);  // 24 bits, clamped
}

TEST(MapsetInfo, PreviewNumberFromTheMapIds) {
    auto number = [](std::uint32_t low, std::uint32_t high, std::uint32_t numbered = 2) {
        MapsetInfo info;
        info.lowestMapId = low, info.highestMapId = high, info.numberedMaps = numbered;
        return previewMapNumber(info);
    };
    EXPECT_EQ(number(10, 30), 2047u);
    EXPECT_EQ(number(10, 2047), 99999999u);  // already all ones
    EXPECT_EQ(number(10, 5000), 99999999u);  // too far apart
    EXPECT_EQ(number(99999999, 0, 0), 99999999u);
    EXPECT_EQ(number(99999000, 99999990), 99999999u);  // would pass the highest number
}

TEST(MapsetInfo, TdbOfManyLongMapsIsWhole) {
    TdbMapset mapset;
    mapset.name = std::string(497, 'n');
    std::vector<TdbMap> maps(500);
    for (TdbMap& m : maps) {
        m.description = std::string(50, 'd');
        for (SubfileType t : {typeGmp, typeLbl, typeRgn, typeTre, typeNet, typeNod, typeDem})
            m.subfiles.push_back({t, "I0000001", 1});
    }
    // Header blocks, 500 'L' blocks of 50 + 38 + 7 * 17 bytes, the CRC block.
    EXPECT_EQ(buildTdb(mapset, maps).size(), (3 + 2 * 497 + 51) + (3 + 497 + 10) + 8 + (3 + 497 + 25) +
                                                 500 * (3 + 50 + 38 + 7 * 17) + 23);
}

}  // namespace
