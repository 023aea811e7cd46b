// What reader tests rely on unchecked: a zero byte sum, and an XOR twin (the verifier's test checks layouts).
#include "support/img_builder.h"

#include <gtest/gtest.h>

#include <numeric>

TEST(ImgBuilder, StoredBytesSumToZeroAndTheXorTwinDiffersOnlyByXor) {
    ImgLayout l{.subfiles = {{"00000001", "TRE", Bytes(700, 0x61)}, {"00000001", "RGN", {1, 2, 3}}}};
    Bytes plain = buildImg(l);
    l.xorByte = 0xC3;
    ImgPlan cut = planImg(l);
    cut.fileSize = 1500;
    const Bytes twin = buildImg(l);
    for (const Bytes& b : {plain, twin, renderImg(cut)}) EXPECT_EQ(std::accumulate(b.begin(), b.end(), 0) % 256, 0);
    for (uint8_t& b : plain) b ^= 0xC3;
    plain[0] = 0xC3;
    plain[0x0F] = twin.at(0x0F);  // the checksum byte is free to differ
    EXPECT_EQ(twin, plain);
}
