// Checks the test image builder on the rendered bytes, so that layout or
// rendering mistakes show up here rather than as puzzling reader failures.
#include "support/img_builder.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

struct RawEntry {
    uint8_t flag;
    std::string nameType;  // 11 bytes
    uint32_t size;
    uint8_t mark, part;
    std::vector<uint16_t> blocks;  // up to the first 0xFFFF
};

RawEntry entryAt(const std::vector<uint8_t>& img, size_t o) {
    RawEntry e{img.at(o), std::string(img.begin() + o + 1, img.begin() + o + 12), readLe32(img, o + 0x0C),
               img.at(o + 0x10), img.at(o + 0x11), {}};
    for (size_t i = 0; i < 240 && readLe16(img, o + 0x20 + 2 * i) != 0xFFFF; ++i)
        e.blocks.push_back(readLe16(img, o + 0x20 + 2 * i));
    return e;
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    return v;
}

int byteSum(const std::vector<uint8_t>& v) { return std::accumulate(v.begin(), v.end(), 0) % 256; }

ImgLayout twoFiles() {
    ImgLayout l;
    l.description = "Test map";
    l.subfiles = {{"00000001", "TRE", pattern(700, 1), {}}, {"00000001", "RGN", pattern(100, 2), {}}};
    return l;
}

}  // namespace

TEST(ImgBuilder, StoredBytesSumToZero) {
    ImgLayout l = twoFiles();
    EXPECT_EQ(byteSum(buildImg(l)), 0);
    l.xorByte = 0x5A;
    EXPECT_EQ(byteSum(buildImg(l)), 0);
    l.blockExponent = 2;
    EXPECT_EQ(byteSum(buildImg(l)), 0);
    ImgPlan p = planImg(l);
    p.fileSize = 1500;
    const auto cut = renderImg(p);
    EXPECT_EQ(cut.size(), 1500u);
    EXPECT_EQ(byteSum(cut), 0);
}

TEST(ImgBuilder, ScrambledTwinDiffersOnlyByXor) {
    ImgLayout l = twoFiles();
    const auto plain = buildImg(l);
    l.xorByte = 0xC3;
    const auto twin = buildImg(l);
    ASSERT_EQ(plain.size(), twin.size());
    EXPECT_EQ(twin[0], 0xC3);
    EXPECT_EQ(twin[0x41] ^ 0xC3, 'G');
    for (size_t i = 1; i < plain.size(); ++i)
        if (i != 0x0F) {
            ASSERT_EQ(twin[i], plain[i] ^ 0xC3) << "at " << i;
        }
}

TEST(ImgBuilder, HeaderFields) {
    ImgLayout l = twoFiles();
    l.description = std::string(20, 'a') + std::string(30, 'b');
    l.year = 2023;
    l.second = 59;
    const auto img = buildImg(l);
    EXPECT_EQ(std::string(img.begin() + 0x10, img.begin() + 0x17), std::string("DSKIMG\0", 7));
    EXPECT_EQ(std::string(img.begin() + 0x41, img.begin() + 0x47), "GARMIN");
    EXPECT_EQ(std::string(img.begin() + 0x49, img.begin() + 0x5D), std::string(20, 'a'));
    EXPECT_EQ(std::string(img.begin() + 0x65, img.begin() + 0x83), std::string(30, 'b'));
    EXPECT_EQ(readLe16(img, 0x39), 2023);
    EXPECT_EQ(img[0x3F], 59);
    EXPECT_EQ(img[0x61], 9);
    EXPECT_EQ(img[0x1FE], 0x55);
    EXPECT_EQ(img[0x1FF], 0xAA);
    l.description += "c";
    EXPECT_THROW(buildImg(l), std::invalid_argument);
}

TEST(ImgBuilder, SubfileOf240BlocksTakesOneEntryAnd241TakeTwo) {
    ImgLayout l;
    l.subfiles = {{"A", "TRE", pattern(240 * 512, 3), {}}, {"B", "RGN", pattern(240 * 512 + 1, 4), {}}};
    const auto img = buildImg(l);
    // Header entry, A, B part 0, B part 1: 4 slots, so data starts at block 5.
    const RawEntry head = entryAt(img, 512);
    EXPECT_EQ(head.nameType, std::string(11, ' '));
    EXPECT_EQ(head.size, 5u * 512);
    EXPECT_EQ(head.mark, 3);
    EXPECT_EQ(head.blocks, (std::vector<uint16_t>{0, 1, 2, 3, 4}));
    const RawEntry a = entryAt(img, 1024), b0 = entryAt(img, 1536), b1 = entryAt(img, 2048);
    EXPECT_EQ(a.nameType, "A       TRE");
    ASSERT_EQ(a.blocks.size(), 240u);
    EXPECT_EQ(a.blocks.front(), 5);
    EXPECT_EQ(b0.nameType, "B       RGN");
    EXPECT_EQ(b0.size, 240u * 512 + 1);
    ASSERT_EQ(b0.blocks.size(), 240u);
    EXPECT_EQ(b0.blocks.front(), 245);
    EXPECT_EQ(b1.nameType, "B       RGN");
    EXPECT_EQ(b1.size, 0u);
    EXPECT_EQ(b1.part, 1);
    EXPECT_EQ(b1.blocks, std::vector<uint16_t>{485});
    EXPECT_EQ(img.size(), 486u * 512);
    EXPECT_EQ(img[485 * 512], pattern(240 * 512 + 1, 4).back());
}

TEST(ImgBuilder, DataSitsInTheBlocksTheFatNamesAndIsPadded) {
    ImgLayout l = twoFiles();
    l.blockExponent = 1;  // 1024-byte blocks
    const auto img = buildImg(l);
    ASSERT_EQ(img.size() % 1024, 0u);
    for (size_t k = 0; k < 2; ++k) {
        const RawEntry e = entryAt(img, 512 * (2 + k));
        const auto& data = l.subfiles[k].data;
        ASSERT_EQ(e.size, data.size());
        std::vector<uint8_t> got;
        for (uint16_t b : e.blocks) got.insert(got.end(), img.begin() + b * 1024, img.begin() + (b + 1) * 1024);
        ASSERT_EQ(got.size(), (data.size() + 1023) / 1024 * 1024);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), got.begin()));
        EXPECT_TRUE(std::all_of(got.begin() + data.size(), got.end(), [](uint8_t c) { return c == 0; }));
    }
}

TEST(ImgBuilder, FatStartAndItsPointerAreIndependent) {
    ImgLayout l = twoFiles();
    l.fatStartSector = 3;
    l.fatStartByte = 1;
    l.spareEntries = 2;
    const auto img = buildImg(l);
    EXPECT_EQ(img[0x40], 1);
    EXPECT_TRUE(std::all_of(img.begin() + 0x200, img.begin() + 0x600, [](uint8_t c) { return c == 0; }));
    const RawEntry head = entryAt(img, 0x600);
    EXPECT_EQ(head.flag, 1);
    EXPECT_EQ(head.size, 0x600u + 5 * 512);  // three used entries and two spare ones
    EXPECT_TRUE(std::all_of(img.begin() + 0x600 + 3 * 512, img.begin() + head.size, [](uint8_t c) { return c == 0; }));
    EXPECT_EQ(entryAt(img, 0x800).blocks.front(), head.blocks.size());
}

TEST(ImgBuilder, HeaderEntriesCoverTheirOwnArea) {
    ImgLayout l = twoFiles();
    l.spareEntries = 300;
    const auto img = buildImg(l);
    // 1 sector + (2 header + 2 used + 300 spare) entries = 305 blocks: two header entries.
    const RawEntry h0 = entryAt(img, 512), h1 = entryAt(img, 1024);
    EXPECT_EQ(h0.size, 305u * 512);
    ASSERT_EQ(h0.blocks.size(), 240u);
    EXPECT_EQ(h1.nameType, std::string(11, ' '));
    EXPECT_EQ(h1.flag, 1);
    EXPECT_EQ(h1.part, 1);
    EXPECT_EQ(h1.size, 0u);
    EXPECT_EQ(h1.mark, 0);
    EXPECT_EQ(h1.blocks.back(), 304);
    EXPECT_EQ(entryAt(img, 1536).blocks.front(), 305);
}

TEST(ImgBuilder, MovedEntryLeavesFreeSlotsBehind) {
    ImgLayout l = twoFiles();
    l.spareEntries = 4;
    ImgPlan p = planImg(l);
    const size_t tre = findFatEntry(p, "00000001", "TRE", 0);
    EXPECT_EQ(tre, 1u);
    moveFatEntry(p, tre, 5);
    p.entries[5].part = 2;
    const auto img = renderImg(p);
    EXPECT_EQ(entryAt(img, 1024).nameType, "00000001RGN");
    for (size_t i = 2; i < 5; ++i) EXPECT_EQ(img[512 + 512 * i], 0) << i;
    EXPECT_EQ(entryAt(img, 512 * 6).nameType, "00000001TRE");
    EXPECT_EQ(entryAt(img, 512 * 6).part, 2);
    EXPECT_THROW(moveFatEntry(p, 1, p.fatSlots), std::invalid_argument);
}

TEST(ImgBuilder, SubfileHelpers) {
    const auto h = commonHeader("TRE", 0x74, 2021, 5, 6, 7, 8, 9);
    ASSERT_EQ(h.size(), 0x74u);
    EXPECT_EQ(readLe16(h, 0), 0x74);
    EXPECT_EQ(std::string(h.begin() + 2, h.begin() + 12), "GARMIN TRE");
    EXPECT_EQ(h[0x0C], 1);
    EXPECT_EQ(readLe16(h, 0x0E), 2021);
    EXPECT_EQ((std::vector<uint8_t>(h.begin() + 0x10, h.begin() + 0x15)), (std::vector<uint8_t>{5, 6, 7, 8, 9}));
    EXPECT_EQ(mpsRecord('F', {1, 2, 3}), (std::vector<uint8_t>{'F', 3, 0, 1, 2, 3}));
}
