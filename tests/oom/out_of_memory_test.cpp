// Every command run with one allocation failing, for every allocation the
// run makes: "Out of memeory." and exit 2 or 4 (never an abort), no input
// changed, and no unfinished split output left behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/driver.h"
#include "oom/allocation_faults.h"
#include "support/run_clx.h"

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const char* const kInputs[] = {"gmapsupp.img", "63240003.img", "test.typ"};

// Everything under the directory but the inputs, by relative path.
Files outputs(const fs::path& dir) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (entry.is_regular_file() && name.find('/') != std::string::npos) files[name] = readFile(entry.path());
        else if (entry.is_regular_file() && name != kInputs[0] && name != kInputs[1] && name != kInputs[2])
            files[name] = readFile(entry.path());
    }
    return files;
}

struct FaultedRun {
    int exitCode = -1;
    std::string out;
    bool fired = false;
};

// Runs the driver with allocation n failing (0: none), in a fresh copy of
// the inputs.
FaultedRun runWithFault(const fs::path& dir, const std::vector<std::string>& args, std::size_t n, std::size_t* counted = nullptr) {
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    for (const char* name : kInputs) fs::copy_file(testData(std::string("img/") + name), dir / name);
    std::vector<std::string> full = {"clx"};
    for (const std::string& a : args) full.push_back(a[0] == '-' ? a : (dir / a).string());
    std::vector<const char*> argv;
    for (const std::string& a : full) argv.push_back(a.c_str());
    setenv("LANG", "C", 1);
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    FaultedRun r;
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    armAllocationFault(n);
    r.exitCode = runClx(static_cast<int>(argv.size()), argv.data());
    r.fired = disarmAllocationFault();
    if (counted) *counted = allocationsCounted();
    std::fflush(stdout);
    r.out = testing::internal::GetCapturedStdout();
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
    ASSERT_EQ(clean.exitCode, 0) << clean.out;
    const Files cleanOutputs = outputs(dir);
    ASSERT_GT(count, 0u);

    for (std::size_t n = 1; n <= count; ++n) {
        const FaultedRun run = runWithFault(dir, GetParam().args, n);
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) + "\n" + run.out);
        ASSERT_TRUE(run.fired);
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
                                           Command{"families", {"-G", "-o", "out", "gmapsupp.img"}}),
                         [](const ::testing::TestParamInfo<Command>& info) { return std::string(info.param.name); });

}  // namespace
