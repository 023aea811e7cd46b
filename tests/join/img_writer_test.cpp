#include "join/img_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/message.h"
#include "img/container.h"

namespace {

ImgWriter writer(std::uint32_t headerSize, std::uint32_t blockSize = 512) {
    ImgWriter w;
    w.blockSize = blockSize;
    w.headerBase = 512;
    w.headerSize = headerSize;
    w.headerBuffer.assign(headerSize, 0xFF);
    w.fatCursor = 512;
    return w;
}

std::string captured(bool& ok, const std::function<bool()>& f) {
    useEnglish = true;
    testing::internal::CaptureStdout();
    ok = f();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(FatEntries, PartsBlocksAndLimits) {
    ImgWriter w = writer(512 + 3 * 512);
    ASSERT_TRUE(addFatEntries(w, "A       ", "RGN", 0));
    EXPECT_EQ(w.fatCursor, 512u);
    ASSERT_TRUE(addFatEntries(w, "A       ", "RGN", 240 * 512));
    EXPECT_EQ(w.fatCursor, 1024u);
    ASSERT_TRUE(addFatEntries(w, "B       ", "TRE", 240 * 512 + 1));
    EXPECT_EQ(w.fatCursor, 2048u);
    EXPECT_EQ(w.nextBlock, 481u);
    const std::uint8_t* part1 = w.headerBuffer.data() + 1536;
    EXPECT_EQ(part1[0], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(part1 + 1), 11), "B       TRE");
    EXPECT_EQ(getU32(part1 + 0x0C), 0u);
    EXPECT_EQ(part1[0x11], 1);
    EXPECT_EQ(getU16(part1 + 0x20), 480);
    EXPECT_EQ(getU16(part1 + 0x22), 0xFFFF);
    EXPECT_EQ(getU32(w.headerBuffer.data() + 1024 + 0x0C), 240u * 512 + 1);

    // The planned area is full: refused with the message, nothing written.
    bool ok = true;
    EXPECT_EQ(captured(ok, [&] { return addFatEntries(w, "C       ", "NET", 1); }), "Total file length too big.\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(w.fatCursor, 2048u);
}

TEST(FatEntries, BlockNumbersAndPartCountsAreBounded) {
    ImgWriter w = writer(512 + 300 * 512);
    bool ok = true;
    // 257 entries would need part number 256.
    EXPECT_EQ(captured(ok, [&] { return addFatEntries(w, "A       ", "RGN", 256ull * 240 * 512 + 1); }),
              "Total file length too big.\n");
    EXPECT_FALSE(ok);
    w.nextBlock = kMaxBlocks - 2;
    EXPECT_TRUE(addFatEntries(w, "A       ", "RGN", 2 * 512));
    EXPECT_EQ(captured(ok, [&] { return addFatEntries(w, "B       ", "RGN", 1); }), "Total file length too big.\n");
}

}  // namespace
