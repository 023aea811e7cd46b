// Names taken from file data reach the console only with their control bytes
// shown as ".": a hostile container cannot move the cursor or forge lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/in_process.h"
#include "support/test_file_system.h"

namespace {

// A data group and a map whose names hold an escape and a bell (its RGN
// header too long for the GMP form), and a catalogue whose only family takes
// neither.
Bytes hostileContainer() {
    return buildImg({.subfiles = {{"A\x1b" "B", "TYP", commonHeader("TYP", 0x5B)},
                                  {"M\x07", "RGN", commonHeader("RGN", 126)},
                                  {"M\x07", "TRE", treSubfile(0)},
                                  {"MAPSOURC", "MPS", concat({recordV("set"), recordF(1, 77, "family")})}}});
}

// A subfile of 241 blocks whose second FAT entry is missing.
Bytes brokenChain() {
    ImgPlan plan = planImg({.subfiles = {{"X\x1b", "RGN", Bytes(241 * 512, 1)}}});
    plan.entries.pop_back();
    return renderImg(plan);
}

bool onlyPrintable(const std::string& out) {
    for (unsigned char c : out)
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) return false;
    return true;
}

TEST(FileText, ControlBytesOfNamesAreShownAsDots) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-s", "-o", "out", "h.img"}, "Write data A.B      ->          A_B.TYP\nWrite map  M.       ->"},
        {{"-j", "-v", "-o", "all.img", "h.img"}, "map  M.      ,  file"},
        {{"-j", "-z", "-o", "all.img", "h.img"}, "Conversion to NT format wasn't done, map M.      .\n"},
        {{"-G", "-o", "out", "h.img"}, "== Unused map A.B      TYP.\n== Unused map M.       MPC.\n"},
        {{"-i", "b.img"}, "Wrong FAT for subfile X.      RGN, file b.img.\n"},
    };
    for (const auto& [args, shown] : cases) {
        SCOPED_TRACE(args[0]);
        InstalledFileSystem fs;
        fs.addFile("h.img", hostileContainer());
        fs.addFile("b.img", brokenChain());
        const InProcessRun run = runInProcess(args);
        EXPECT_TRUE(onlyPrintable(run.out)) << run.out;
        EXPECT_NE(run.out.find(shown), std::string::npos) << run.out;
    }
}

}  // namespace
