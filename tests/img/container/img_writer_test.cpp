#include "img/container/img_writer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "common/date.h"
#include "common/message.h"
#include "support/img_verifier.h"
#include "support/test_file_system.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class Writer : public ::testing::Test {
protected:
    TestFileSystem fs;
    FileHandle out;
    ImgWriter w;

    // Blocks of `block` bytes; the FAT from 1024 up to headerSize; dataBlocks after it.
    void plan(std::uint32_t block, std::uint32_t headerSize, std::uint64_t dataBlocks) {
        useEnglish = true;
        currentDate = {2024, 5, 6, 7, 8, 9};
        bool existed = false;
        out = fs.create("o.img", CreateMode::replace, existed);
        w.outputPath = "o.img", w.file = out.get();
        w.headerBase = 1024, w.blockSize = block, w.headerSize = headerSize;
        w.fileSize = headerSize + dataBlocks * block;
        ASSERT_TRUE(allocWriterBuffers(w, 1 << 20, 4096) && initHeader(w));
    }

    // Refused with the message, before a byte of it is written or counted.
    void expectRefused(const Bytes& bytes) {
        const Bytes before = fs.bytes("o.img");
        const auto state = std::make_tuple(w.position, w.fatCursor, w.nextBlock, w.headerBuffer);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(writeSubfile(w, "B       ", "XYZ", bytes));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Total file length too big.\n");
        EXPECT_EQ(fs.bytes("o.img"), before);
        EXPECT_TRUE(std::make_tuple(w.position, w.fatCursor, w.nextBlock, w.headerBuffer) == state);
    }
};

// Beyond the plan: a block short, no FAT slot left, a 257th part, the last block number.
TEST_F(Writer, WritesAWholeContainerAndRefusesWhatLiesBeyondThePlan) {
    plan(512, 1024 + 5 * 512, 243);  // FAT: header, A (two parts), B, a spare entry; no spare block
    Bytes a(240 * 512 + 1), b(700, 0xC3);
    std::iota(a.begin(), a.end(), std::uint8_t{1});
    ASSERT_TRUE(writeSubfile(w, "AAAA    ", "XYZ", a));
    ASSERT_TRUE(writeSubfile(w, "BBBB    ", "TYP", b));
    expectRefused(Bytes(1, 1));  // one block short
    ASSERT_TRUE(writeHeader(w));
    const Img img = verifiedImg(fs.bytes("o.img"));  // byte sum 0 included
    EXPECT_EQ(img["AAAA.XYZ"], a);
    EXPECT_EQ(img["BBBB.TYP"], b);

    plan(512, 2048, 10);  // FAT: header, A
    ASSERT_TRUE(writeSubfile(w, "A       ", "XYZ", Bytes(512, 7)));
    expectRefused(Bytes(1, 1));
    plan(512, 1024 + 300 * 512, 300 * 240);
    expectRefused(Bytes(256u * 240 * 512 + 1, 1));  // a 257th part would be number 256
    w.nextBlock = kMaxBlocks - 2;
    ASSERT_TRUE(addFatEntries(w, "A       ", "XYZ", 2 * 512));
    expectRefused(Bytes(1, 1));
}

}  // namespace
