// Every command run with one allocation failing, for every allocation the
// run makes: "Out of memeory." and exit 2 or 4 (never an abort), no input
// changed, and no unfinished split output left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "oom/allocation_faults.h"
#include "support/in_process.h"
#include "support/run_clx.h"

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const char* const kInputs[] = {"gmapsupp.img", "63240003.img", "test.typ"};

// The outputs (all.img and what is in out/), by relative path.
Files outputs(const fs::path& dir) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (entry.is_regular_file() && (name == "all.img" || name.rfind("out/", 0) == 0)) files[name] = readFile(entry.path());
    }
    return files;
}

struct FaultedRun {
    InProcessRun run;
    bool fired = false;
};

// Runs the driver with allocation n failing (0: none), in a fresh copy of
// the inputs in `dir`, the current directory.
FaultedRun runWithFault(const fs::path& dir, const std::vector<std::string>& args, std::size_t n, std::size_t* counted = nullptr) {
    fs::current_path(dir.parent_path());
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    for (const char* name : kInputs) fs::copy_file(testData(std::string("img/") + name), dir / name);
    fs::current_path(dir);
    FaultedRun r;
    r.run = runInProcess(args, "C", [&](bool starting) {
        if (starting) return armAllocationFault(n);
        r.fired = disarmAllocationFault();
        if (counted) *counted = allocationsCounted();
    });
    return r;
}

struct Command {
    const char* name;
    std::vector<std::string> args;
};

class OutOfMemory : public ::testing::TestWithParam<Command> {};

TEST_P(OutOfMemory, EveryFailingAllocationEndsCleanly) {
    ScratchDir scratch;
    const fs::path dir = scratch / "run";
    std::size_t count = 0;
    const FaultedRun clean = runWithFault(dir, GetParam().args, 0, &count);
    ASSERT_EQ(clean.run.exitCode, 0) << clean.run.out;
    const Files cleanOutputs = outputs(dir);
    ASSERT_GT(count, 0u);

    for (std::size_t n = 1; n <= count; ++n) {
        const FaultedRun faulted = runWithFault(dir, GetParam().args, n);
        const InProcessRun& run = faulted.run;
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) + "\n" + run.out);
        ASSERT_TRUE(faulted.fired);
        for (const char* name : kInputs)
            ASSERT_EQ(readFile(dir / name), readFile(testData(std::string("img/") + name))) << name;
        const Files left = outputs(dir);
        if (run.exitCode == 0) {
            // Absorbed where the program has a fallback (a sort without its buffer).
            EXPECT_EQ(left, cleanOutputs);
            continue;
        }
        EXPECT_TRUE(run.exitCode == 2 || run.exitCode == 4);
        EXPECT_NE(run.out.find("Out of memeory.\n"), std::string::npos);
        for (const auto& [name, bytes] : left) {
            // The join output stays (its header is written last); the split
            // list names finished outputs; nothing else may be unfinished.
            if (name == "all.img" || name == "out/split.lst") continue;
            auto same = cleanOutputs.find(name);
            EXPECT_TRUE(same != cleanOutputs.end() && same->second == bytes) << name << " left behind";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, OutOfMemory,
                         ::testing::Values(Command{"list", {"-i", "-v", "gmapsupp.img", "63240003.img", "test.typ"}},
                                           Command{"join", {"-j", "-o", "all.img", "gmapsupp.img", "test.typ"}},
                                           Command{"maps", {"-s", "-t", "-o", "out", "gmapsupp.img", "test.typ"}},
                                           Command{"subfiles", {"-g", "-o", "out", "63240003.img"}},
                                           Command{"families", {"-G", "-o", "out", "gmapsupp.img"}},
                                           Command{"mapset", {"-S", "-q", "-o", "out", "gmapsupp.img", "63240003.img", "test.typ"}},
                                           Command{"empty_maps", {"-k", "-o", "out", "gmapsupp.img"}}),
                         [](const ::testing::TestParamInfo<Command>& info) { return std::string(info.param.name); });

}  // namespace
