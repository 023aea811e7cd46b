// The split run in-process on files held in memory: sizes beyond 32 bits,
// outputs that would replace an input, and small copy chunks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "img/model/input_reader.h"
#include "split/split.h"
#include "support/img_verifier.h"
#include "support/in_process.h"
#include "support/run_clx.h"
#include "support/test_file_system.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
// A stand-alone TRE of 4 GiB + 722 bytes is copied whole and listed with its
// 64-bit length; nothing about it is cut to 32 bits.
TEST(SplitSizes, StandaloneFileBeyond4GiBIsCopiedWhole) {
    const std::uint64_t size = (std::uint64_t{1} << 32) + 722;
    const Bytes tre = subfileOf(fixture("63240001.img"), "63240001TRE");
    InstalledFileSystem fs;
    fs.addSparseFile("big.tre", tre, size);
    fs.makeSink("out/big.tre");

    const InProcessRun listed = runInProcess({"-i", "big.tre"});
    ASSERT_EQ(listed.exitCode, 0) << listed.out;
    EXPECT_NE(listed.out.find("File:\t\tbig.tre, length 4294968018\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("length 4294968018, name big.tre"), std::string::npos) << listed.out;

    const InProcessRun split = runInProcess({"-s", "-o", "out", "big.tre"});
    ASSERT_EQ(split.exitCode, 0) << split.out;
    EXPECT_EQ(fs.sinkLength("out/big.tre"), size);
    Bytes head = fs.bytes("out/big.tre");
    head.resize(tre.size());
    EXPECT_EQ(head, tre);
}

// An input named like an output the split replaces (here split.lst) is never
// truncated: the run refuses that output and fails.
TEST(SplitOutputs, AnOutputThatIsAnInputIsRefused) {
    InstalledFileSystem fs;
    fs.addFile("s9/split.lst", fixture("sample.img"));
    const InProcessRun run = runInProcess({"-s", "-t", "-o", "s9", "s9/split.lst"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.out.find("Output file is one of the input files, file s9/split.lst.\n"), std::string::npos) << run.out;
    EXPECT_EQ(fs.bytes("s9/split.lst"), fixture("sample.img"));
}

// Copies in chunks smaller than a subfile (and ending exactly on a chunk
// boundary) give the same files.
TEST(SplitCopy, SmallChunksGiveTheSameFiles) {
    for (char command : {'s', 'g'}) {
        SCOPED_TRACE(command);
        InstalledFileSystem fs;
        fs.addFile("gmapsupp.img", fixture("gmapsupp.img"));
        fs.addFile("data.bin", Bytes(1024, 0x5A));
        InputList inputs;
        for (const char* name : {"gmapsupp.img", "data.bin"}) {
            InputFile& input = inputs.emplace_back();
            input.path = name;
            ASSERT_TRUE(readInput(input, {false, true}));
        }
        SplitSettings whole;
        whole.command = command;
        whole.outputDir = "whole";
        SplitSettings chunked = whole;
        chunked.outputDir = "chunked";
        chunked.copyChunk = 512;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(splitFiles(inputs, whole));
        ASSERT_TRUE(splitFiles(inputs, chunked));
        testing::internal::GetCapturedStdout();
        std::size_t compared = 0;
        for (const std::string& path : fs.paths())
            if (path.rfind("whole/", 0) == 0) {
                EXPECT_EQ(fs.bytes("chunked/" + path.substr(6)), fs.bytes(path)) << path;
                ++compared;
            }
        EXPECT_GE(compared, command == 's' ? 5u : 14u);
    }
}

}  // namespace
