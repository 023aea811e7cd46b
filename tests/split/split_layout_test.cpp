#include <gtest/gtest.h>

#include <cstring>

#include "split/split.h"

namespace {

// A map of the given member sizes, as the reader leaves it.
struct MapInput {
    InputFile input;
    MapEntry& map() { return input.maps[0]; }
};

MapInput mapOf(std::initializer_list<std::uint32_t> sizes, MapKind kind = mpcMap) {
    MapInput m;
    MapEntry map;
    map.kind = kind;
    for (std::uint32_t s : sizes) {
        Subfile sub;
        sub.type = typeRgn;
        sub.size = s;
        m.input.subfiles.push_back(sub);
        map.totalSize += s;
        ++map.subfileCount;
    }
    m.input.maps.push_back(map);
    return m;
}

void plan(MapInput& m, bool shortHeader, std::uint32_t headerBase = 4096) {
    m.map().mapBlockSize = mapBlockSize(m.map(), shortHeader);
    mapLayout(m.input, m.map(), headerBase);
}

TEST(MapLayout, TiesKeepTheSmallerBlockInTheChoiceAndTheLargerInTheLayout) {
    MapInput three = mapOf({300000, 300000, 300000});
    plan(three, false);
    EXPECT_EQ(three.map().mapBlockSize, 1024u);
    EXPECT_EQ(three.map().mapHeaderSize, 8192u);
    EXPECT_EQ(three.map().mapFileSize, 908288u);

    MapInput srt = mapOf({544}, sortTable);
    plan(srt, false);
    EXPECT_EQ(srt.map().mapBlockSize, 1024u);
    EXPECT_EQ(srt.map().mapHeaderSize, 5120u);

    MapInput five = mapOf({2000, 600000, 300000, 80000, 18000});
    plan(five, false);
    EXPECT_EQ(five.map().mapBlockSize, 1024u);
    EXPECT_EQ(five.map().mapFileSize, 1010688u);
}

TEST(MapFileNames, NumbersSuffixesAndNames) {
    MapEntry m;
    std::uint32_t number = 0;
    InputFile input;
    std::memcpy(m.name, "12345678", 9);
    m.kind = mpcMap;
    EXPECT_EQ(makeMapFileName(input, m, number), "12345678.img");
    EXPECT_EQ(number, 12345678u);
    m.kind = sortTable;
    EXPECT_EQ(makeMapFileName(input, m, number), "12345678_srt.img");
    std::memcpy(m.name, "00000042", 9);
    m.kind = searchIndex;
    EXPECT_EQ(makeMapFileName(input, m, number), "0042_mdr.img");
    m.kind = mpcMap;
    m.dupIndex = 1;
    EXPECT_EQ(makeMapFileName(input, m, number), "00000042-1.img");
    TreInfo tre;
    tre.mapId = 7;
    m.tre = &tre;
    EXPECT_EQ(makeMapFileName(input, m, number), "00000007-1.img");
    m.tre = nullptr;
    m.dupIndex = 0;
    std::memcpy(m.name, "../a/b  ", 9);
    EXPECT_EQ(makeMapFileName(input, m, number), ".._a_b.img");
    EXPECT_EQ(number, 0u);
    std::memcpy(m.name, "..      ", 9);
    EXPECT_EQ(makeMapFileName(input, m, number), "_.img");
}

}  // namespace
