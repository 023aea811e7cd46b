#include "join/join_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/message.h"
#include "common/options.h"
#include "join/join_writer.h"

namespace {

// A stand-alone input as the reader leaves it, without a file behind it.
InputFile standalone(std::uint64_t size, std::uint8_t kind = typData, const std::string& path = "x.typ") {
    InputFile f;
    f.path = path;
    f.inputKind = kind;
    f.size = size;
    f.rawLength = static_cast<std::uint32_t>(size);
    return f;
}

struct Plan {
    bool ok;
    JoinLayout layout;
    std::string out;
};

// The planning steps of a join, without writing.
Plan plan(InputList& inputs, bool shortHeader, std::uint32_t blockSizeKb = 0) {
    Plan p{false, {}, {}};
    p.layout.headerBase = shortHeader ? 1024 : 4096;
    p.layout.mapsetNameLength = 12;
    useEnglish = true;
    testing::internal::CaptureStdout();
    p.ok = true;
    for (const InputFile& f : inputs) p.ok = p.ok && countInput(f, p.layout);
    p.ok = p.ok && planCandidates(p.layout, shortHeader, blockSizeKb);
    if (p.ok) {
        for (const InputFile& f : inputs) countBlocks(f, p.layout);
        p.ok = pickLayout(p.layout);
    }
    std::fflush(stdout);
    p.out = testing::internal::GetCapturedStdout();
    return p;
}

TEST(JoinLayoutChoice, EqualCostTakesTheLargerBlock) {
    InputList inputs;
    inputs.push_back(standalone(1000000));
    Plan p = plan(inputs, false);
    ASSERT_TRUE(p.ok) << p.out;
    EXPECT_EQ(p.layout.blockSize, 2048u);
    EXPECT_EQ(p.layout.headerSize, 8192u);
    EXPECT_EQ(p.layout.fileSize, 1011712u);
    // A short header keeps the smallest automatic block.
    p = plan(inputs, true);
    ASSERT_TRUE(p.ok) << p.out;
    EXPECT_EQ(p.layout.blockSize, 1024u);
    EXPECT_EQ(p.layout.headerSize, 5120u);
    EXPECT_EQ(p.layout.fileSize, 1006592u);
}

TEST(JoinLayoutChoice, FixedBlockSizeMakesBothCandidatesEqual) {
    InputList inputs;
    inputs.push_back(standalone(1000000));
    Plan p = plan(inputs, false, 16);
    ASSERT_TRUE(p.ok) << p.out;
    EXPECT_EQ(p.layout.blockSizeA, 16384u);
    EXPECT_EQ(p.layout.blockSizeB, 16384u);
    EXPECT_EQ(p.layout.blockSize, 16384u);
    EXPECT_EQ(p.layout.headerSize, 16384u);
    EXPECT_EQ(p.layout.fileSize, 16384u * (1 + 62 + 1));
    // At 1 kB the same data needs more blocks than a container may have.
    inputs.clear();
    for (int i = 0; i < 20; ++i) inputs.push_back(standalone(4000000));
    p = plan(inputs, false, 1);
    EXPECT_FALSE(p.ok);
}

TEST(JoinLayoutChoice, TieInThePickTakesTheSmallerBlock) {
    JoinLayout l;
    l.headerBase = 4096;
    l.blockSizeA = 1024;
    l.blockSizeB = 2048;
    // A: header 5 blocks + 11 = 16 × 2 sectors; B: 3 + 5 = 8 × 4 sectors.
    l.fatEntriesA = l.fatEntriesB = 1;
    l.blocksA = 11;
    l.blocksB = 5;
    ASSERT_TRUE(pickLayout(l));
    EXPECT_EQ(l.blockSize, 1024u);
    EXPECT_EQ(l.headerSize, 5u * 1024);
    EXPECT_EQ(l.fileSize, 16u * 1024);
    l.blocksA = 12;
    ASSERT_TRUE(pickLayout(l));
    EXPECT_EQ(l.blockSize, 2048u);
}

TEST(JoinLayoutChoice, HugeSetsTryHalfAndWholeMegabyteBlocks) {
    InputList inputs;
    for (int i = 0; i < 10; ++i) inputs.push_back(standalone(4000000000u));
    Plan p = plan(inputs, false);
    ASSERT_TRUE(p.ok) << p.out;
    EXPECT_EQ(p.layout.blockSizeA, 0x80000u);
    EXPECT_EQ(p.layout.blockSizeB, 0x100000u);
    // The whole-megabyte block is beyond any choice once -b asks for less.
    p = plan(inputs, false, 1024);
    EXPECT_TRUE(p.ok) << p.out;
}

TEST(JoinLayoutChoice, SizeLimits) {
    InputList inputs;
    // 0x8000000 sectors: 16 inputs of 0xFFFFFFFF bytes reach it.
    for (int i = 0; i < 16; ++i) inputs.push_back(standalone(0xFFFFFFFFu));
    Plan p = plan(inputs, false);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.out, "Total file length too big (sectors 8000000, 67108863k).\n");

    // One sector less: the automatic block size is beyond 1 MiB, also when -b is given.
    inputs.back() = standalone(0xFFFFFDFFu);
    p = plan(inputs, false, 1024);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.out, "Total file length too big (blocks).\n");

    // A stand-alone input of 4 GiB does not fit a FAT length.
    inputs.clear();
    inputs.push_back(standalone(0x100000000ull));
    p = plan(inputs, false);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.out, "Total file length too big.\n");
}

TEST(JoinLayoutChoice, ManySmallSubfilesNeedALargerHeader) {
    InputList inputs;
    for (int i = 0; i < 2000; ++i) inputs.push_back(standalone(100));
    Plan p = plan(inputs, true);
    ASSERT_TRUE(p.ok) << p.out;
    // One FAT entry per subfile, the MPS and the header's own entry.
    EXPECT_GE(p.layout.headerSize, 1024u + 512 * (2000 + 2));
    EXPECT_EQ(p.layout.fileSize % p.layout.blockSize, 0u);
}

TEST(RepeatedMapIds, PairsAndFileNames) {
    InputList inputs;
    auto withMaps = [](const char* path, std::vector<std::uint32_t> ids) {
        InputFile f;
        f.path = path;
        for (std::uint32_t id : ids) {
            MapEntry m;
            m.mapId = id;
            f.maps.push_back(m);
        }
        return f;
    };
    inputs.push_back(withMaps("a.img", {0, 7, 7}));
    inputs.push_back(withMaps("b.img", {0, 7, 9}));
    useEnglish = true;
    warningCount = 0;
    testing::internal::CaptureStdout();
    warnRepeatedMapIds(inputs);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n== Warning: repeated map ID number.\n== Map ID 7 (7), file a.img.\n\n"
              "\n== Warning: repeated map ID number.\n== Map ID 7 (7), file a.img, file b.img.\n\n");
    EXPECT_EQ(warningCount, 2u);
    warningCount = 0;
}

TEST(FatNames, FromPathsAndFamilies) {
    InputFile f = standalone(10, typData, "/maps/My.Typ/MyTyp.typ");
    EXPECT_EQ(makeFatName(f, "TYP"), "MyTyp   TYP");
    f.path = "dir\\sub:VeryLongName.trf";
    EXPECT_EQ(makeFatName(f, nullptr), "VeryLongtrf");
    f.path = "noext";
    EXPECT_EQ(makeFatName(f, " "), "noext      ");
    f.path = "a.b.gmp";
    EXPECT_EQ(makeFatName(f, "GMP"), "a       GMP");
}

}  // namespace
