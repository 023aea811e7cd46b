#include "join/mps_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "img/container.h"
#include "join/img_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes record(char letter, Bytes body) {
    Bytes r = {static_cast<std::uint8_t>(letter), static_cast<std::uint8_t>(body.size()),
               static_cast<std::uint8_t>(body.size() >> 8)};
    r.insert(r.end(), body.begin(), body.end());
    return r;
}

Bytes family(std::uint8_t pid, std::uint8_t fid, char tag) { return record('F', {pid, 0, fid, 0, static_cast<std::uint8_t>(tag), 0}); }

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(DuplicateRecords, FirstOfEqualFamilyAndProductStays) {
    Bytes l = record('L', Bytes(30, 1));
    Bytes p1 = record('P', {1, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    Bytes p2 = record('P', {1, 0, 2, 0, 9, 9, 9, 9, 9, 9});
    Bytes buffer = join({l, family(1, 2, 'a'), p1, family(1, 3, 'b'), family(1, 2, 'c'), p2, record('V', {})});
    dropDuplicateRecords(buffer);
    EXPECT_EQ(buffer, join({l, family(1, 2, 'a'), p1, family(1, 3, 'b'), record('V', {})}));
}

TEST(DuplicateRecords, ShortAndCutRecordsAreLeftAlone) {
    // F records whose body cannot hold both numbers are never compared.
    Bytes buffer = join({record('F', {1, 0}), record('F', {1, 0}), family(1, 2, 'x')});
    Bytes before = buffer;
    dropDuplicateRecords(buffer);
    EXPECT_EQ(buffer, before);
    // A record cut by the buffer's end ends the walk.
    buffer = join({family(1, 2, 'a'), family(1, 2, 'b')});
    buffer.push_back('F');
    buffer.push_back(200);
    buffer.push_back(0);
    buffer.push_back(1);
    dropDuplicateRecords(buffer);
    EXPECT_EQ(buffer, join({family(1, 2, 'a'), Bytes{'F', 200, 0, 1}}));
}

TEST(MapNumbers, FromTreOrName) {
    MapEntry m;
    std::memcpy(m.name, "I0012D68", 9);
    EXPECT_EQ(mapNumber(m), 0x12D68u);
    std::memcpy(m.name, "12345678", 9);
    EXPECT_EQ(mapNumber(m), 12345678u);
    std::memcpy(m.name, "ABCDEFGH", 9);
    EXPECT_EQ(mapNumber(m), 0u);
    TreInfo tre;
    tre.mapId = 77;
    m.tre = &tre;
    EXPECT_EQ(mapNumber(m), 77u);
    tre.mapId = 100000000;
    EXPECT_EQ(mapNumber(m), 0u);
}

TEST(FlatDem, LayoutOfLevelsAndBounds) {
    Bytes dem;
    const std::uint8_t date[7] = {0xE8, 0x07, 1, 2, 3, 4, 5};
    ASSERT_EQ(buildFlatDem(dem, 100, 200, -50, -8388608, date, 2), 165u);
    ASSERT_EQ(dem.size(), 165u);
    EXPECT_EQ(getU16(dem.data()), 37);
    EXPECT_EQ(std::string(dem.begin() + 2, dem.begin() + 12), "GARMIN DEM");
    EXPECT_EQ(dem[12], 1);
    EXPECT_EQ(Bytes(dem.begin() + 14, dem.begin() + 21), Bytes(date, date + 7));
    EXPECT_EQ(getU16(dem.data() + 25), 2);
    EXPECT_EQ(getU32(dem.data() + 33), 45u);
    EXPECT_EQ(getU32(dem.data() + 37), 0x02000000u);
    EXPECT_EQ(getU32(dem.data() + 41), 0x02000000u);
    const std::uint8_t* second = dem.data() + 45 + 60;
    EXPECT_EQ(second[1], 1);
    EXPECT_EQ(getU32(second + 32), 41u);
    EXPECT_EQ(getU32(second + 36), 45u);
    EXPECT_EQ(static_cast<std::int32_t>(getU32(second + 40)), -8388608 * 256);
    EXPECT_EQ(getU32(second + 44), 100u * 256);
    EXPECT_EQ(getU32(second + 48), 150u * 256);
    EXPECT_EQ(getU32(second + 52), (200u + 8388608u) * 256);
}

}  // namespace
