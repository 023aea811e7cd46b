#include "img/container/patch.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "common/bytes.h"
#include "common/message.h"
#include "img/model/input_reader.h"
#include "support/img_builder.h"
#include "support/test_file_system.h"

namespace {

class Patch : public ::testing::Test {
protected:
    InstalledFileSystem fs;
    InputFile in;
    Bytes original;
    std::uint8_t x = 0;
    std::uint32_t a = 0, b = 0;  // the part-0 entries of AAAA and BBBB
    const Bytes p = {'P', 'a', 't', 'c', 'h', 'e', 'd', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

    // FAT at 512: header (blocks 0-5), AAAA (241 blocks, two entries), BBBB (700 bytes), CCCC (one block). The
    // stored numbers of BBBB's second block and CCCC's are swapped (the byte sum stays): BBBB is in 247 and 249.
    void load(std::uint8_t xorByte) {
        useEnglish = true;
        original = buildImg({.xorByte = x = xorByte, .subfiles = {{"AAAA", "XYZ", Bytes(241 * 512, 0xA0)},
                             {"BBBB", "XYZ", Bytes(700, 0xB0)}, {"CCCC", "XYZ", Bytes(512, 0xC0)}}});
        std::swap_ranges(original.begin() + 0x822, original.begin() + 0x824, original.begin() + 0xA20);
        fs.addFile("c.img", original);
        in = InputFile{};
        in.path = "c.img";
        ASSERT_TRUE(readInput(in, {}) && openContainer(in, OpenMode::update));
        a = in.subfiles[0].firstFat, b = in.subfiles[1].firstFat;
    }

    // Refused: the message, and the file as it was.
    void expectRefused(const char* what, const std::function<bool()>& patch, const std::string& path = "c.img") {
        const Bytes before = fs.bytes(path);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(patch()) << what;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Write structure error, file " + path + ".\n") << what;
        EXPECT_EQ(fs.bytes(path), before) << what;
    }
};

TEST_F(Patch, WritesExactlyTheBytesAndKeepsTheByteSum) {
    for (std::uint8_t mask : {0x00, 0x5A}) {
        load(mask);
        // Across BBBB's blocks; in the header sector up to its end and next to 0x0F; both names of AAAA.
        ASSERT_TRUE(patchSubfile(in, b, 500, p.data(), 20));
        ASSERT_TRUE(patchHeader(in, 0x49, p.data(), 7) && patchHeader(in, 0x0E, p.data(), 1) &&
                    patchHeader(in, 0x1FE, p.data(), 2));
        ASSERT_TRUE(patchFatName(in, a, "RENAMED1"));
        const Bytes after = fs.bytes("c.img");
        Bytes expected = original;
        auto put = [&](std::size_t at, const std::uint8_t* bytes, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i) expected[at + i] = bytes[i] ^ x;
        };
        put(247 * 512 + 500, p.data(), 12);
        put(249 * 512, p.data() + 12, 8);
        put(0x49, p.data(), 7), put(0x0E, p.data(), 1), put(0x1FE, p.data(), 2);
        for (std::size_t entry : {1024u, 1536u}) put(entry + 1, reinterpret_cast<const std::uint8_t*>("RENAMED1"), 8);
        expected[0x0F] = after[0x0F];  // the byte sum below tells whether it moved right
        EXPECT_EQ(after, expected) << int{mask};
        EXPECT_EQ(std::accumulate(after.begin(), after.end(), 0u) % 256, 0u) << int{mask};
    }
}

TEST_F(Patch, RefusesWhatLiesOutsideItsPlace) {
    load(0x5A);
    std::uint8_t* entry = in.img.headerBytes.data() + in.img.fatEntries[b].offset;
    expectRefused("past the end", [&] { return patchSubfile(in, b, 690, p.data(), 11); });
    for (std::size_t offset : {0x0Eu, 0x0Fu, 0x00u, 0x1FFu, 0x200u})
        expectRefused("the checksum or past 0x1FF", [&] { return patchHeader(in, offset, p.data(), offset ? 2 : 16); });
    expectRefused("a container", [&] { return patchStandalone(in, 4096, p.data(), 1); });
    for (std::uint16_t block : {5, 0x7FFF}) {  // the header area; beyond the file
        putU16(entry + 0x20, block);
        expectRefused("mapped outside the data", [&] { return patchSubfile(in, b, 0, p.data(), 1); });
    }
    putU16(entry + 0x20, 247);
    in.img.headerBytes[1537] = 'Q';  // AAAA's second entry under another name
    expectRefused("broken chain", [&] { return patchFatName(in, a, "OTHER   "); });
    // A length its own entries do not reach: past them lies CCCC's entry.
    putU32(entry + 0x0C, 241 * 512);
    expectRefused("beyond its own FAT entries", [&] { return patchSubfile(in, b, 240 * 512, p.data(), 1); });
}

TEST_F(Patch, StandaloneStaysInsideTheFile) {
    ContainerFile s;
    s.path = "s.typ", s.size = 100;
    fs.addFile(s.path, Bytes(100, 1));
    ASSERT_TRUE(openContainer(s, OpenMode::update));
    EXPECT_TRUE(patchStandalone(s, 98, p.data(), 2));
    for (std::uint64_t offset : {99ull, 101ull, ~0ull})
        expectRefused("beyond", [&] { return patchStandalone(s, offset, p.data(), 2 * (offset != 101)); }, s.path);
    EXPECT_EQ(fs.bytes(s.path), concat({Bytes(98, 1), {'P', 'a'}}));
}

}  // namespace
