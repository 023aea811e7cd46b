#include "common/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_clx.h"

namespace {

namespace fs = std::filesystem;

// On the real file system, for links: an input is never replaced under another
// name, and createNew never truncates an existing name nor follows a link.
TEST(CreateOutput, RefusesInputsAndExistingNames) {
    useEnglish = true;
    ScratchDir dir;
    writeFile(dir / "in.img", "input");
    fs::create_hard_link(dir / "in.img", dir / "hard.img");
    fs::create_symlink(dir / "target.img", dir / "dangling.img");
    OutputPlace place{dir.path().string(), {FileIdentity{}}};
    ASSERT_EQ(fileSystem().identity((dir / "in.img").string(), place.inputs[0]), Lookup::found);
    const std::string isInput = "Output file is one of the input files", exists = "Output file already exist";
    const std::tuple<std::string, CreateMode, std::string> rows[] = {
        {"hard.img", CreateMode::replace, isInput}, {"in.img", CreateMode::createNew, exists},
        {"dangling.img", CreateMode::createNew, exists}, {"no/a.img", CreateMode::replace, "Create output file error"},
    };
    for (const auto& [name, mode, message] : rows) {
        std::string full;
        bool existed = message != exists;
        testing::internal::CaptureStdout();
        EXPECT_EQ(createOutput(place, name, mode, full, &existed), nullptr) << name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), message + ", file " + (dir / name).string() + ".\n");
        EXPECT_EQ(existed, message == exists) << name;
    }
    EXPECT_EQ(readFile(dir / "in.img"), "input");
    EXPECT_FALSE(fs::exists(dir / "target.img"));
}

}  // namespace
