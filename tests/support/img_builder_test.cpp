// The builder properties that other tests rely on without checking them.
#include "support/img_builder.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    return v;
}

int byteSum(const std::vector<uint8_t>& v) { return std::accumulate(v.begin(), v.end(), 0) % 256; }

}  // namespace

TEST(ImgBuilder, StoredBytesSumToZeroAndTheXorTwinDiffersOnlyByXor) {
    ImgLayout l;
    l.subfiles = {{"00000001", "TRE", pattern(700, 1), {}}, {"00000001", "RGN", pattern(100, 2), {}}};
    const auto plain = buildImg(l);
    EXPECT_EQ(byteSum(plain), 0);
    l.xorByte = 0xC3;
    const auto twin = buildImg(l);
    EXPECT_EQ(byteSum(twin), 0);
    auto scrambled = plain;
    for (uint8_t& b : scrambled) b ^= 0xC3;
    scrambled[0] = 0xC3;
    scrambled[0x0F] = twin.at(0x0F);  // the checksum byte is free to differ
    EXPECT_EQ(twin, scrambled);
    ImgPlan cut = planImg(l);
    cut.fileSize = 1500;
    EXPECT_EQ(byteSum(renderImg(cut)), 0);
}

TEST(ImgBuilder, SubfileOf240BlocksTakesOneEntryAnd241TakeTwo) {
    ImgLayout l;
    l.subfiles = {{"A", "TRE", pattern(240 * 512, 3), {}}, {"B", "RGN", pattern(240 * 512 + 1, 4), {}}};
    const auto img = buildImg(l);
    // Header entry in slot 0: the header sector and 4 entries take blocks 0-4.
    struct Entry {
        const char* nameType;
        uint32_t size;
        uint8_t part;
        uint16_t firstBlock, blocks;
    };
    const Entry want[] = {{"A       TRE", 240 * 512, 0, 5, 240},
                          {"B       RGN", 240 * 512 + 1, 0, 245, 240},
                          {"B       RGN", 0, 1, 485, 1}};
    for (size_t k = 0; k < 3; ++k) {
        const size_t o = 512 * (k + 2);
        EXPECT_EQ(std::string(img.begin() + o + 1, img.begin() + o + 12), want[k].nameType) << k;
        EXPECT_EQ(readLe32(img, o + 0x0C), want[k].size) << k;
        EXPECT_EQ(img[o + 0x11], want[k].part) << k;
        for (size_t i = 0; i < 240; ++i)
            ASSERT_EQ(readLe16(img, o + 0x20 + 2 * i), i < want[k].blocks ? want[k].firstBlock + i : 0xFFFF) << k;
    }
    EXPECT_EQ(img.size(), 486u * 512);
    EXPECT_EQ(img[485 * 512], l.subfiles[1].data.back());
}
