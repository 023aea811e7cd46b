#include "img/container/img_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST_F(Writer, RefusesASubfileBeyondThePlanBeforeWritingIt) {
    plan(512, 2048, 10);  // FAT: header, A
    ASSERT_TRUE(writeSubfile(w, "A       ", "XYZ", Bytes(512, 7)));
    expectRefused(Bytes(1, 1));
    plan(512, 1024 + 300 * 512, 300 * 240);
    expectRefused(Bytes(256u * 240 * 512 + 1, 1));  // a 257th part would be number 256
    w.nextBlock = kMaxBlocks - 2;
    ASSERT_TRUE(addFatEntries(w, "A       ", "XYZ", 2 * 512));
    expectRefused(Bytes(1, 1));
}

TEST_F(Writer, ContainerFromThePrimitivesPassesTheVerifier) {
    plan(512, 1024 + 5 * 512, 243);  // FAT: header, A (two parts), B, a spare entry; no spare block
    Bytes a(240 * 512 + 1), b(700, 0xC3);
    std::iota(a.begin(), a.end(), std::uint8_t{1});
    ASSERT_TRUE(writeSubfile(w, "AAAA    ", "XYZ", a));
    ASSERT_TRUE(writeSubfile(w, "BBBB    ", "TYP", b));
    expectRefused(Bytes(1, 1));  // one block short; the container stays whole
    ASSERT_TRUE(writeHeader(w));
    const Bytes file = fs.bytes("o.img");
    EXPECT_EQ(std::accumulate(file.begin(), file.end(), 0u) % 256, 0u);
    VerifiedImg img;
    std::string error;
    ASSERT_TRUE(verifyImg(file, img, error)) << error;
    EXPECT_EQ(subfileBytes(file, img, "AAAA.XYZ"), a);
    EXPECT_EQ(subfileBytes(file, img, "BBBB.TYP"), b);
}

TEST_F(Writer, PaddingWritesZerosUpToTheBlock) {
    const std::uint64_t rows[][3] = {{512, 0, 0},     {512, 1, 511},       {512, 1025, 511},  {4096, 1, 4095},
                                     {16384, 1, 16383}, {16384, 4097, 12287}, {65536, 65535, 1}};  // block, length, pad
    for (const auto& r : rows) {
        fs.addFile("p", Bytes(70000, 0xAA));
        FileHandle f = fs.open("p", OpenMode::update);
        w.file = f.get();
        w.blockSize = static_cast<std::uint32_t>(r[0]), w.position = r[1];
        ASSERT_TRUE(padToBlock(w, r[1]));
        EXPECT_EQ(w.position, r[1] + r[2]) << r[0] << " " << r[1];
        Bytes expected(70000, 0xAA);
        std::fill_n(expected.begin() + r[1], r[2], 0);
        EXPECT_EQ(fs.bytes("p"), expected) << r[0] << " " << r[1];
    }
}

}  // namespace
