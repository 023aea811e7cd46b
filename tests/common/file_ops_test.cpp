#include "common/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/path.h"
#include "support/run_clx.h"
#include "support/test_file_system.h"

namespace {

namespace fs = std::filesystem;

template <class F>
std::string said(F run) {
    useEnglish = true;
    testing::internal::CaptureStdout();
    run();
    return testing::internal::GetCapturedStdout();
}

// On the real file system, for links: an input is never replaced under any
// name, and createNew never truncates an existing name nor follows a link.
TEST(CreateOutput, RefusesInputsAndExistingNames) {
    ScratchDir dir;
    writeFile(dir / "in.img", "input");
    fs::create_symlink(dir / "in.img", dir / "link.img");
    fs::create_hard_link(dir / "in.img", dir / "hard.img");
    fs::create_symlink(dir / "target.img", dir / "dangling.img");
    OutputPlace place{dir.path().string(), {FileIdentity{}}};
    ASSERT_EQ(fileSystem().identity((dir / "in.img").string(), place.inputs[0]), Lookup::found);
    const std::string isInput = "Output file is one of the input files", exists = "Output file already exist";
    const std::tuple<std::string, CreateMode, std::string> rows[] = {
        {"in.img", CreateMode::replace, isInput},      {"link.img", CreateMode::replace, isInput},
        {"hard.img", CreateMode::replace, isInput},    {"in.img", CreateMode::createNew, exists},
        {"dangling.img", CreateMode::createNew, exists}, {"no/a.img", CreateMode::replace, "Create output file error"},
    };
    for (const auto& [name, mode, message] : rows) {
        std::string full;
        bool existed = message != exists;
        EXPECT_EQ(said([&] { EXPECT_EQ(createOutput(place, name, mode, full, &existed), nullptr) << name; }),
                  message + ", file " + (dir / name).string() + ".\n");
        EXPECT_EQ(existed, message == exists) << name;
    }
    EXPECT_EQ(readFile(dir / "in.img"), "input");
    EXPECT_FALSE(fs::exists(dir / "target.img"));
}

TEST(OutputPath, OneSeparatorBetweenDirectoryAndName) {
    const std::string sep = platformSeparator;
    for (const auto& [dir, full] : {std::pair<std::string, std::string>{"", "a.img"}, {"out", "out" + sep + "a.img"},
                                    {"out/", "out/a.img"}, {"c:", sep == "/" ? "c:/a.img" : "c:a.img"}})
        EXPECT_EQ(outputPath(OutputPlace{dir, {}}, "a.img"), full) << dir;
}

class OutputFaults : public ::testing::Test {
protected:
    TestFileSystem files;
    ScopedFileSystem scope{files};
    std::string full;
    PendingOutput make(const std::string& name) {
        return PendingOutput(createOutput({}, name, CreateMode::createNew, full), name);
    }
};

// Only an output finished whole and closed stays; a failed close says so.
TEST_F(OutputFaults, PendingOutputIsRemovedUnlessFinishedWhole) {
    EXPECT_TRUE(make("kept").finish(true));
    EXPECT_FALSE(make("partial").finish(false));
    { PendingOutput dropped = make("dropped"); }
    PendingOutput replaced = make("replaced");
    replaced = make("successor");
    EXPECT_TRUE(replaced.finish(true));
    PendingOutput out = make("closeFails");
    files.failAt(files.operations() + 1);
    EXPECT_EQ(said([&] { EXPECT_FALSE(out.finish(true)); }), "Write error, file closeFails.\n");
    EXPECT_EQ(files.paths(), (std::vector<std::string>{"kept", "successor"}));
}

// A look-up that fails cannot rule out an input: nothing is created. Checked
// transfers name their file.
TEST_F(OutputFaults, FailuresAreReportedWithTheirFile) {
    files.addFile("in", {1});
    OutputPlace place{"", {FileIdentity{}}};
    ASSERT_EQ(files.identity("in", place.inputs[0]), Lookup::found);
    files.failAt(files.operations() + 1);
    EXPECT_EQ(said([&] { EXPECT_EQ(createOutput(place, "out", CreateMode::replace, full), nullptr); }),
              "Create output file error, file out.\n");
    EXPECT_FALSE(files.has("out"));
    FileHandle reader = files.open("in", OpenMode::read);
    std::uint8_t buf[2] = {};
    EXPECT_EQ(said([&] { EXPECT_FALSE(readChecked(*reader, "in", 0, buf, 2)); }), "Read error, file in.\n");
    EXPECT_EQ(said([&] { EXPECT_FALSE(writeChecked(*reader, "in", 0, buf, 1)); }), "Write error, file in.\n");
}

}  // namespace
