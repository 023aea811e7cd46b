#include "common/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/message.h"
#include "common/options.h"
#include "support/run_clx.h"

namespace {

namespace fs = std::filesystem;

TEST(XorBuffer, TouchesExactlyTheGivenBytes) {
    for (std::size_t len : {0u, 1u, 3u, 4u, 5u, 7u, 513u}) {
        std::vector<std::uint8_t> buf(len + 8, 0x11);
        xorBuffer(buf.data() + 1, len, 0x5A5A5A5A);
        EXPECT_EQ(buf[0], 0x11);
        for (std::size_t i = 0; i < len; ++i) ASSERT_EQ(buf[1 + i], 0x11 ^ 0x5A) << len;
        for (std::size_t i = len + 1; i < buf.size(); ++i) ASSERT_EQ(buf[i], 0x11) << len;
    }
    // An exact-size heap buffer: the sanitizer catches any byte beyond it.
    std::vector<std::uint8_t> exact(6, 0);
    xorBuffer(exact.data(), exact.size(), 0x44332211);
    EXPECT_EQ(exact, (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44, 0x11, 0x22}));
    xorBuffer(exact.data(), exact.size(), 0);
    EXPECT_EQ(exact[5], 0x22);
}

TEST(ByteSum, AddsEveryByte) {
    std::vector<std::uint8_t> b(1000, 0xFF);
    EXPECT_EQ(byteSum(b.data(), b.size()), 255000u);
    EXPECT_EQ(byteSum(b.data(), 0), 0u);
}

class InputFileOps : public ::testing::Test {
protected:
    ScratchDir dir;
    InputFile input;

    // A file of 8 KiB with a FAT of 4 entries at 0x600, blocks of 512 bytes.
    void SetUp() override {
        useEnglish = true;
        input.path = (dir / "c.img").string();
        writeFile(input.path, std::string(8192, '\0'));
        input.img.blockSize = 512;
        input.img.headerBytes.assign(0xE00, 0);
        for (std::uint32_t i = 0; i < 4; ++i) {
            input.img.fatEntries.push_back({0x600u + 512 * i, -1, -1});
            input.img.headerBytes[0x600 + 512 * i] = static_cast<std::uint8_t>(i + 1);
        }
        input.img.xorMask = 0x77777777;
        ASSERT_TRUE(openInput(input, "r+b"));
    }

    std::string fileBytes() {
        std::fflush(input.stream.get());
        return readFile(input.path);
    }
};

TEST_F(InputFileOps, WriteFatEntriesCountsEntriesBySize) {
    struct Row {
        std::uint64_t size;
        int entries;
    };
    for (Row r : {Row{0, 0}, Row{1, 1}, Row{240 * 512, 1}, Row{240 * 512 + 1, 2}, Row{241 * 512, 2}}) {
        writeFile(input.path, std::string(8192, '\0'));
        ASSERT_TRUE(openInput(input, "r+b"));
        EXPECT_TRUE(writeFatEntries(input, 1, r.size)) << r.size;
        std::string bytes = fileBytes();
        for (int i = 0; i < 4; ++i) {
            bool written = i >= 1 && i < 1 + r.entries;
            EXPECT_EQ(static_cast<std::uint8_t>(bytes[0x600 + 512 * i]), written ? ((i + 1) ^ 0x77) : 0)
                << "size " << r.size << " entry " << i;
        }
    }
    // The in-memory entries stay plain.
    EXPECT_EQ(input.img.headerBytes[0x800], 2);
}

TEST_F(InputFileOps, WriteFatEntriesRefusesEntriesBeyondTheFat) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(writeFatEntries(input, 3, 241 * 512));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Write structure error, file " + input.path + ".\n");
}

TEST_F(InputFileOps, TransfersApplyTheMaskAndKeepTheCallersBuffer) {
    std::vector<std::uint8_t> data = {1, 2, 3, 4, 5};
    ASSERT_TRUE(writeAt(input, data.data(), 100, data.size()));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    std::string bytes = fileBytes();
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[100]), 1 ^ 0x77);
    std::vector<std::uint8_t> back(5);
    ASSERT_TRUE(readAt(input, back.data(), 100, back.size()));
    EXPECT_EQ(back, data);

    testing::internal::CaptureStdout();
    EXPECT_FALSE(readAt(input, back.data(), 8190, 5));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Read error, file " + input.path + ".\n");
}

TEST_F(InputFileOps, FailedWriteLeavesTheBufferAsItWas) {
    closeInput(input);
    ASSERT_TRUE(openInput(input, "rb"));  // read-only: every write fails
    std::vector<std::uint8_t> data = {9, 8, 7};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(writeAt(input, data.data(), 0, data.size()));
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Write error, file " + input.path + ".\n");
    EXPECT_EQ(data, (std::vector<std::uint8_t>{9, 8, 7}));
}

TEST(Seek64, OriginsAndLargePositions) {
    ScratchDir dir;
    writeFile(dir / "f", "0123456789");
    File f = platformOpen((dir / "f").c_str(), "rb");
    EXPECT_EQ(seek64(f.get(), 3, SEEK_SET), 0);
    EXPECT_EQ(seek64(f.get(), 2, SEEK_CUR), 0);
    EXPECT_EQ(std::fgetc(f.get()), '5');
    EXPECT_EQ(seek64(f.get(), -1, SEEK_END), 0);
    EXPECT_EQ(std::fgetc(f.get()), '9');
    EXPECT_NE(seek64(f.get(), 0, 7), 0);
    EXPECT_EQ(seek64(f.get(), std::int64_t{5} << 32, SEEK_SET), 0);
    EXPECT_EQ(platformTell(f.get()), std::int64_t{5} << 32);
}

class Outputs : public ::testing::Test {
protected:
    ScratchDir dir;
    void SetUp() override {
        resetOptions();
        useEnglish = true;
    }
    void TearDown() override { resetOptions(); }
    std::string create(const std::string& name, bool allowExisting, bool& ok) {
        testing::internal::CaptureStdout();
        File f = createOutput(name, allowExisting);
        ok = f.isOpen();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(Outputs, ExistingFileIsRefusedUntouchedOrReplacedWhenAllowed) {
    std::string name = (dir / "out.img").string();
    writeFile(name, "keep");
    bool ok = true;
    EXPECT_EQ(create(name, false, ok), "Output file already exist, file " + name + ".\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(name), "keep");
    EXPECT_EQ(create(name, true, ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(readFile(name), "");
}

TEST_F(Outputs, DanglingLinkIsNeverFollowed) {
    fs::create_symlink(dir / "target", dir / "link");
    bool ok = true;
    EXPECT_EQ(create((dir / "link").string(), false, ok), "Output file already exist, file " + (dir / "link").string() + ".\n");
    EXPECT_FALSE(fs::exists(dir / "target"));
}

TEST_F(Outputs, MissingDirectoryGivesCreateError) {
    bool ok = true;
    std::string name = (dir / "none" / "a.img").string();
    EXPECT_EQ(create(name, false, ok), "Create output file error, file " + name + ".\n");
    EXPECT_EQ(create(name, true, ok), "Create output file error, file " + name + ".\n");
}

TEST_F(Outputs, DirectoryJoinsWithOneSlash) {
    EXPECT_EQ(outputPathFor("a.img"), "a.img");
    struct Row {
        std::string dir, expected;
    };
    for (const Row& r : {Row{"out", "out/a.img"}, Row{"out/", "out/a.img"}, Row{"out\\", "out\\/a.img"},
                         Row{"c:", "c:/a.img"}}) {
        options.outputDir = r.dir;
        options.outputDirLength = static_cast<std::uint32_t>(r.dir.size());
        EXPECT_EQ(outputPathFor("a.img"), r.expected) << r.dir;
    }
    fs::create_directory(dir / "out");
    options.outputDir = (dir / "out").string() + "/";
    options.outputDirLength = static_cast<std::uint32_t>(options.outputDir.size());
    std::string built;
    testing::internal::CaptureStdout();
    File f = createOutputInDir("a.img", false, &built);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(f.isOpen());
    EXPECT_EQ(built, (dir / "out" / "a.img").string());
    EXPECT_TRUE(fs::exists(dir / "out" / "a.img"));
}

TEST(FileExists, OpensForReading) {
    ScratchDir dir;
    writeFile(dir / "x", "1");
    EXPECT_TRUE(fileExists((dir / "x").string()));
    EXPECT_FALSE(fileExists((dir / "y").string()));
}

}  // namespace

namespace {

TEST(ByteSum, MatchesAPlainSumAtEveryLengthAndAlignment) {
    std::vector<std::uint8_t> b(3000);
    std::uint32_t seed = 12345;
    for (std::uint8_t& c : b) c = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    b[100] = b[101] = b[102] = 0xFF;
    for (std::size_t start : {0u, 1u, 3u, 7u})
        for (std::size_t len : {0u, 1u, 7u, 8u, 9u, 1023u, 1024u, 1025u, 2990u}) {
            std::uint32_t plain = 0;
            for (std::size_t i = 0; i < len; ++i) plain += b[start + i];
            ASSERT_EQ(byteSum(b.data() + start, len), plain) << start << " " << len;
        }
    std::vector<std::uint8_t> ones(1 << 20, 0xFF);
    EXPECT_EQ(byteSum(ones.data(), ones.size()), 255u << 20);
}

}  // namespace
