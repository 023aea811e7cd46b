// The join (and the family split, which plans its containers the same way)
// run in-process on files held in memory: plans that match what is written,
// copies in small chunks, large header areas and sizes beyond 32 bits.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "img/model/input_reader.h"
#include "join/join.h"
#include "support/img_builder.h"
#include "support/img_verifier.h"
#include "support/in_process.h"
#include "support/run_clx.h"
#include "support/test_file_system.h"

namespace {

// What the verbose "Size:" line announced.
struct Planned {
    unsigned block = 0, header = 0;
    unsigned long long file = 0;
};

Planned planned(const std::string& out) {
    Planned p;
    std::size_t at = out.rfind("Size: block ");
    EXPECT_NE(at, std::string::npos) << out;
    if (at != std::string::npos) std::sscanf(out.c_str() + at, "Size: block %u, header %u, file %llu", &p.block, &p.header, &p.file);
    return p;
}

// Catalogues used to be estimated, without the join's own records: the file
// came out larger than planned. Now the plan is the bytes written, for the
// join and for each container of the family split.
TEST(JoinPlan, PlannedSizeIsTheSizeWritten) {
    struct Case {
        std::vector<std::string> options;
        int copies;
        bool standaloneTre, family;
    };
    for (const Case& c : {Case{{}, 80, true, false}, Case{{"-f", "1", "-m", std::string(50, 'N')}, 7, false, false},
                          Case{{"-f", "7001"}, 60, false, true}}) {
        SCOPED_TRACE(c.copies);
        InstalledFileSystem fs;
        std::vector<std::string> args = {"-j", "-v", "-o", "all.img"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        for (int i = 0; i < c.copies; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, c.standaloneTre ? "t%03d.tre" : "t%03d.img", i);
            Bytes bytes = c.standaloneTre ? subfileOf(fixture("63240001.img"), "63240001TRE") : fixture("63240001.img");
            if (c.standaloneTre) putLe32(bytes, 0x74, 1000 + i);
            fs.addFile(name, bytes);
            args.push_back(name);
        }
        InProcessRun run = runInProcess(args);
        const std::string out = c.family ? "out/FAM_7001.img" : "all.img";
        if (c.family) run = runInProcess({"-G", "-v", "-o", "out", "all.img"});
        ASSERT_EQ(run.exitCode, 0) << run.out;
        EXPECT_EQ(planned(run.out).file, fs.bytes(out).size());
        verifiedImg(fs.bytes(out));
        if (!c.standaloneTre) continue;
        // Each stand-alone map gets a record, described by its 8-character name.
        const Bytes first = recordL(0, 0, 1000, {"Cartolux All", "t000    ", "Cartolux All"}, 1000);
        const Bytes catalogue = subfileOf(fs.bytes("all.img"), "MAPSOURCMPS");
        EXPECT_EQ(Bytes(catalogue.begin(), catalogue.begin() + static_cast<std::ptrdiff_t>(first.size())), first);
    }
}

// The copy goes in chunks of a chosen size: a subfile longer than one chunk,
// and one that ends exactly on a chunk boundary, come out the same.
TEST(JoinCopy, SmallChunksGiveTheSameFile) {
    InstalledFileSystem fs;
    fs.addFile("63240001.img", fixture("63240001.img"));
    Bytes twoChunks(2048);
    for (std::size_t i = 0; i < twoChunks.size(); ++i) twoChunks[i] = static_cast<std::uint8_t>(i * 7);
    fs.addFile("data.bin", twoChunks);
    InputList inputs;
    for (const char* name : {"63240001.img", "data.bin"}) {
        InputFile& input = inputs.emplace_back();
        input.path = name;
        ASSERT_TRUE(readInput(input, {false, true}));
    }
    JoinSettings settings;
    settings.outputName = "whole.img";
    testing::internal::CaptureStdout();
    ASSERT_TRUE(joinFiles(inputs, settings));
    settings.outputName = "chunked.img";
    settings.copyChunk = 1024;
    ASSERT_TRUE(joinFiles(inputs, settings));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(fs.bytes("chunked.img"), fs.bytes("whole.img"));
    EXPECT_EQ(subfileOf(fs.bytes("chunked.img"), "data    bin"), twoChunks);
}

// 500 subfiles in blocks of 1 KiB need a header-and-FAT area of more than 240
// blocks, whose own FAT entries then take more than one entry.
TEST(JoinLayout, HeaderAreaBeyond240Blocks) {
    InstalledFileSystem fs;
    std::vector<std::string> args = {"-j", "-a", "-v", "-b", "1", "-x", "-o", "all.img"};
    for (int i = 0; i < 500; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.bin", i);
        fs.addFile(name, Bytes(100, static_cast<std::uint8_t>(i)));
        args.push_back(name);
    }
    const InProcessRun run = runInProcess(args);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const Bytes all = fs.bytes("all.img");
    EXPECT_EQ(planned(run.out).block, 1024u);
    EXPECT_GT(planned(run.out).header, 240u * 1024);
    verifiedImg(all);
    EXPECT_EQ(subfileOf(all, "f499    bin"), Bytes(100, static_cast<std::uint8_t>(499 & 0xFF)));
}

// A stand-alone input past 4 GiB cannot be a subfile: its length is 32 bits
// in the FAT.
TEST(JoinLimits, StandaloneFileBeyond4GiBIsRefused) {
    InstalledFileSystem fs;
    fs.addSparseFile("big.tre", subfileOf(fixture("63240001.img"), "63240001TRE"), (std::uint64_t{1} << 32) + 722);
    const InProcessRun run = runInProcess({"-j", "-o", "all.img", "big.tre"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.out.find("Total file length too big.\n"), std::string::npos) << run.out;
    EXPECT_FALSE(fs.has("all.img"));
}

}  // namespace
