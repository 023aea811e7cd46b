// The yardstick for every container clx writes: it accepts good ones and names the faults a writer is likely to make.
#include "support/img_verifier.h"

#include <gtest/gtest.h>

#include "support/img_builder.h"

namespace {

// Header sector and 3 FAT entries in blocks 0-3, TRE (700 bytes) in 4-5, RGN from 6 on.
ImgLayout twoFiles(uint8_t exponent = 0, uint32_t spare = 0, size_t rgnSize = 100) {
    return {.blockExponent = exponent, .spareEntries = spare, .description = "Test map",
            .subfiles = {{"00000001", "TRE", Bytes(700, 0x11)}, {"00000001", "RGN", Bytes(rgnSize, 0x22)}}};
}

Bytes patched(Bytes img, void (*fault)(Bytes&), bool fixSum = true) {
    fault(img);
    if (fixSum) fixImgChecksum(img);
    return img;
}

}  // namespace

TEST(ImgVerifier, AcceptsGoodContainersAndNamesWriterFaults) {
    const ImgVerifyOptions builderMade{false, true};  // the builder leaves the geometry zero
    VerifiedImg v;
    std::string error;
    ImgLayout big = twoFiles(2, 300, 240 * 2048 + 1);  // FAT after a gap, header entry continued, RGN in two entries
    big.fatStartSector = 3;
    big.subfiles.push_back({"00000001", "NET"});
    const Bytes img = buildImg(big);
    ASSERT_TRUE(verifyImg(img, v, error, builderMade)) << error;
    ASSERT_EQ(v.description + " " + std::to_string(v.subfiles.size()), "Test map 3");
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(subfileBytes(img, v, v.subfiles[i].fullName()), big.subfiles[i].data) << i;

    // The strict fields of a container under 64 KiB in 512-byte blocks, typed
    // in from the layout rules: 16 heads, 8 sectors per track, 1 cylinder.
    const Bytes strict = patched(buildImg(twoFiles()), [](Bytes& b) {
        for (auto [o, value] : {std::pair{0x17, 2}, {0x18, 8}, {0x1A, 16}, {0x1C, 1}, {0x5D, 16}, {0x5F, 8},
                                {0x63, 128}, {0x1C0, 1}, {0x1C3, 15}, {0x1C4, 8}, {0x1CA, 128}})
            b[o] = static_cast<uint8_t>(value);
    });
    ASSERT_TRUE(verifyImg(strict, v, error)) << error;
    ImgPlan gap = planImg(twoFiles()), parts = planImg(twoFiles(0, 0, 241 * 512));
    gap.entries[2].blocks = {7};
    parts.entries[3].part = 2;
    const std::pair<Bytes, const char*> faults[] = {  // the message names the check that fired
        {patched(strict, [](Bytes& b) { ++b[0x0F]; }, false), "sum"}, {renderImg(gap), "no gaps"},
        {renderImg(parts), "part 1 of"},
        {patched(buildImg(twoFiles(0, 2)), [](Bytes& b) { b[512 + 4 * 512 + 0x30] = 1; }), "free FAT slots"},
        {patched(buildImg(twoFiles()), [](Bytes& b) { b[6 * 512 + 100] = 1; }), "padding after 00000001.RGN"},
        {patched(strict, [](Bytes& b) { b[0x1CA] = 127; }), "partition sectors"},
        {patched(strict, [](Bytes& b) { b[0x50] = 0; }), "NUL in the description"}};
    for (const auto& [image, expect] : faults) {
        EXPECT_FALSE(verifyImg(image, v, error, image[0x17] == 2 ? ImgVerifyOptions{} : builderMade)) << expect;
        EXPECT_NE(error.find(expect), std::string::npos) << "expected " << expect << ", got: " << error;
    }
}
