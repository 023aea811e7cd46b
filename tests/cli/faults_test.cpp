// Every command run on real containers with one file operation failing, for
// every operation the run makes: a clean message and exit code, no input
// changed, no failure passed off as success, and nothing left behind that
// could pass for a whole output.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "img/container/subfile_io.h"
#include "img/model/input_reader.h"
#include "support/in_process.h"
#include "support/run_clx.h"
#include "support/test_file_system.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Files = std::map<std::string, Bytes>;

const char* const kInputs[] = {"gmapsupp.img", "63240003.img", "test.typ"};

void loadInputs(TestFileSystem& fs) {
    for (const char* name : kInputs) fs.addFile(name, fixture(name));
}

bool isInput(const std::string& path) { return path.find('/') == std::string::npos && path != "all.img"; }

Files outputs(const TestFileSystem& fs) {
    Files files;
    for (const std::string& path : fs.paths())
        if (!isInput(path)) files[path] = fs.bytes(path);
    return files;
}

// The subfiles of a container as the program's own reader sees them; empty
// when it refuses the file.
std::map<std::string, Bytes> subfilesOf(const std::string& path) {
    std::map<std::string, Bytes> subfiles;
    InputFile input;
    input.path = path;
    testing::internal::CaptureStdout();
    bool ok = readInput(input, {}) && openContainer(input, OpenMode::read);
    for (const Subfile& s : input.subfiles) {
        Bytes bytes(s.size);
        ok = ok && readSubfileBytes(input, s.firstFat, 0, bytes.size(), bytes.data());
        subfiles[std::string(s.name.c, 11)] = bytes;
    }
    testing::internal::GetCapturedStdout();
    return ok ? subfiles : std::map<std::string, Bytes>{};
}

// The message a failed operation must produce.
std::string expectedMessage(const Operation& op) {
    switch (op.kind) {
    case OpKind::open: return "Open error, file " + op.path + ".";
    case OpKind::create: return "Create output file error, file " + op.path + ".";
    case OpKind::identity: return isInput(op.path) ? "Open error, file " + op.path + "." : "Create output file error";
    case OpKind::read: return "Read error, file " + op.path + ".";
    case OpKind::size: return "Seek error, file " + op.path + ".";
    default: return op.kind == OpKind::remove ? "" : "Write error, file ";
    }
}

// The failures a run may shrug off: nothing it wrote depends on them.
bool harmless(const Operation& op) {
    return (op.kind == OpKind::close && op.readOnlyHandle) || op.kind == OpKind::remove;
}

struct Command {
    const char* name;
    std::vector<std::string> options, inputs;
};

class Faults : public ::testing::TestWithParam<Command> {};

TEST_P(Faults, EveryFailingOperationEndsCleanly) {
    const Command& command = GetParam();
    std::vector<std::string> args = command.options;
    args.insert(args.end(), command.inputs.begin(), command.inputs.end());
    // The operations of reading alone: the inputs without a command.
    std::size_t readingOps = 0;
    {
        InstalledFileSystem fs;
        loadInputs(fs);
        ASSERT_EQ(runInProcess(command.inputs).exitCode, 0);
        readingOps = fs.operations();
    }
    TestFileSystem clean;
    loadInputs(clean);
    InProcessRun cleanRun;
    {
        ScopedFileSystem installed(clean);
        cleanRun = runInProcess(args);
    }
    ASSERT_EQ(cleanRun.exitCode, 0) << cleanRun.out;
    const std::size_t operations = clean.operations();
    const Files cleanOutputs = outputs(clean);
    std::map<std::string, Bytes> cleanJoin;
    if (clean.has("all.img")) {
        ScopedFileSystem installed(clean);
        cleanJoin = subfilesOf("all.img");
    }

    for (bool andAfter : {false, true}) {
        for (std::size_t n = 1; n <= operations; ++n) {
            SCOPED_TRACE(std::string(command.name) + (andAfter ? ", every operation from " : ", operation ") +
                         std::to_string(n));
            TestFileSystem fs;
            loadInputs(fs);
            const InProcessRun run = runWithFileFault(fs, args, n, andAfter);
            // The first failure that matters decides the message and the exit code.
            const std::size_t last = andAfter ? fs.log().size() : n;
            std::size_t first = n - 1;
            while (first < last && harmless(fs.log()[first])) ++first;
            SCOPED_TRACE(run.out);

            for (const char* name : kInputs)
                ASSERT_EQ(fs.bytes(name), fixture(name)) << name;
            if (first == last) {
                EXPECT_EQ(run.exitCode, 0);
                EXPECT_EQ(outputs(fs), cleanOutputs);
                continue;
            }
            const Operation& failed = fs.log()[first];
            SCOPED_TRACE("first failure: operation " + std::to_string(first + 1) + ", kind " +
                         std::to_string(static_cast<int>(failed.kind)) + " on " + failed.path);
            EXPECT_EQ(run.exitCode, first < readingOps ? 2 : 4);
            EXPECT_NE(run.out.find(expectedMessage(failed)), std::string::npos);

            for (const auto& [path, bytes] : outputs(fs)) {
                if (path == "all.img") {
                    // Left in place, but its header is written last: either it
                    // is refused, or what its FAT lists is whole.
                    ScopedFileSystem installed(fs);
                    for (const auto& [name, subfile] : subfilesOf(path)) EXPECT_EQ(subfile, cleanJoin.at(name)) << name;
                    continue;
                }
                if (path == "out/split.lst") {
                    // It names the outputs that were finished whole.
                    Files left = outputs(fs);
                    std::string list(bytes.begin(), bytes.end());
                    for (std::size_t at = 0, end; (end = list.find('\n', at)) != std::string::npos; at = end + 1) {
                        const std::string listed = "out/" + list.substr(at, end - at);
                        EXPECT_TRUE(left.count(listed) && left[listed] == cleanOutputs.at(listed)) << listed;
                    }
                    continue;
                }
                // A partial output goes, unless its removal failed too.
                bool removalFailed = false;
                for (const Operation& op : fs.log())
                    removalFailed = removalFailed || (op.kind == OpKind::remove && op.path == path && op.failed);
                auto same = cleanOutputs.find(path);
                EXPECT_TRUE(removalFailed || (same != cleanOutputs.end() && same->second == bytes)) << path << " left behind";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Faults,
    ::testing::Values(Command{"list", {"-i", "-v"}, {"gmapsupp.img", "63240003.img", "test.typ"}},
                      Command{"join", {"-j", "-o", "all.img"}, {"gmapsupp.img", "63240003.img", "test.typ"}},
                      Command{"join_nt", {"-j", "-z", "-o", "all.img"}, {"63240003.img", "gmapsupp.img"}},
                      Command{"maps", {"-s", "-t", "-o", "out"}, {"gmapsupp.img", "63240003.img", "test.typ"}},
                      Command{"subfiles", {"-g", "-t", "-o", "out"}, {"gmapsupp.img", "63240003.img"}},
                      Command{"families", {"-G", "-o", "out"}, {"gmapsupp.img"}},
                      Command{"mapset", {"-S", "-t", "-q", "-o", "out"}, {"gmapsupp.img", "63240003.img", "test.typ"}},
                      Command{"empty_maps", {"-k", "-o", "out"}, {"gmapsupp.img", "63240003.img"}}),
    [](const ::testing::TestParamInfo<Command>& info) { return std::string(info.param.name); });

}  // namespace
