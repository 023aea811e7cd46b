// Names taken from file data reach the console only with their control bytes
// shown as ".": a hostile container cannot move the cursor or forge lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/in_process.h"
#include "support/test_file_system.h"

namespace {

// A data group and a map whose names hold an escape and a bell, and a
// catalogue whose only family takes neither.
Bytes hostileContainer() {
    ImgLayout layout;
    layout.subfiles = {{"A\x1b" "B", "TYP", commonHeader("TYP", 0x5B), {}},
                       {"M\x07", "RGN", commonHeader("RGN", 0x1D), {}},
                       {"M\x07", "TRE", treSubfile(0), {}},
                       {"MAPSOURC", "MPS", concat({recordV("set"), recordF(1, 77, "family")}), {}}};
    return buildImg(layout);
}

// A subfile of 241 blocks whose second FAT entry is missing.
Bytes brokenChain() {
    ImgLayout layout;
    layout.subfiles = {{"X\x1b", "RGN", Bytes(241 * 512, 1), {}}};
    ImgPlan plan = planImg(layout);
    plan.entries.pop_back();
    return renderImg(plan);
}

bool onlyPrintable(const std::string& out) {
    for (unsigned char c : out)
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) return false;
    return true;
}

TEST(FileText, ControlBytesOfNamesAreShownAsDots) {
    struct Case {
        std::vector<std::string> args;
        std::string shown;
    };
    const Case cases[] = {
        {{"-s", "-o", "out", "h.img"}, "Write data A.B      ->          A_B.TYP\nWrite map  M.       ->"},
        {{"-j", "-v", "-o", "all.img", "h.img"}, "map  M.      ,  file"},
        {{"-j", "-z", "-o", "all.img", "h.img"}, "Conversion to NT format wasn't done, map M.      .\n"},
        {{"-G", "-o", "out", "h.img"}, "== Unused map A.B      TYP.\n== Unused map M.       MPC.\n"},
        {{"-i", "b.img"}, "Wrong FAT for subfile X.      RGN, file b.img.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        TestFileSystem fs;
        ScopedFileSystem installed(fs);
        fs.addFile("h.img", hostileContainer());
        fs.addFile("b.img", brokenChain());
        const InProcessRun run = runInProcess(c.args);
        EXPECT_TRUE(onlyPrintable(run.out)) << run.out;
        EXPECT_NE(run.out.find(c.shown), std::string::npos) << run.out;
    }
}

}  // namespace
