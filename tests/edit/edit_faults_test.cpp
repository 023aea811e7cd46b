// Every in-place edit with one file operation failing, for every operation it
// makes: the files keep their length, no byte changes outside what the clean
// edit changes (and the checksum byte), the failure is said, and the run ends
// with exit code 4 after trying the other file.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/in_process.h"
#include "support/run_clx.h"
#include "support/test_file_system.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const char* const kFiles[] = {"a.img", "b.img"};

void load(TestFileSystem& fs) {
    fs.addFile("a.img", fixture("gmapsupp.img"));
    fs.addFile("b.img", fixture("sample.img"));
}

std::string expectedMessage(const Operation& op) {
    switch (op.kind) {
    case OpKind::open: case OpKind::identity: return "Open error, file " + op.path + ".";
    case OpKind::read: return "Read error, file " + op.path + ".";
    case OpKind::size: return "Seek error, file " + op.path + ".";
    default: return "Write error, file " + op.path + ".";
    }
}

class EditFaults : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(EditFaults, EveryFailingOperationLeavesOnlyIntendedBytes) {
    std::vector<std::string> args = {"-w"};
    args.insert(args.end(), GetParam().begin(), GetParam().end());
    args.insert(args.end(), {"a.img", "b.img"});
    std::size_t readingOps = 0;
    {
        InstalledFileSystem fs;
        load(fs);
        ASSERT_EQ(runInProcess({"a.img", "b.img"}).exitCode, 0);
        readingOps = fs.operations();
    }
    // The bytes the clean edit changes, per file.
    TestFileSystem clean;
    load(clean);
    {
        ScopedFileSystem installed(clean);
        ASSERT_EQ(runInProcess(args).exitCode, 0);
    }
    std::set<std::size_t> intended[2];
    for (int f = 0; f < 2; ++f) {
        const Bytes before = f ? fixture("sample.img") : fixture("gmapsupp.img"), after = clean.bytes(kFiles[f]);
        for (std::size_t i = 0; i < after.size(); ++i)
            if (after[i] != before[i] || i == 0x0F) intended[f].insert(i);
    }
    for (bool andAfter : {false, true})
        for (std::size_t n = 1; n <= clean.operations(); ++n) {
            SCOPED_TRACE((andAfter ? "every operation from " : "operation ") + std::to_string(n));
            TestFileSystem fs;
            load(fs);
            const InProcessRun run = runWithFileFault(fs, args, n, andAfter);
            SCOPED_TRACE(run.out);
            // The first failure that matters (closing a file only read does
            // not) decides the message and the exit code.
            std::size_t first = n - 1;
            const std::size_t last = andAfter ? fs.log().size() : n;
            while (first < last && fs.log()[first].kind == OpKind::close && fs.log()[first].readOnlyHandle) ++first;
            const Operation& failed = fs.log()[std::min(first, n - 1)];
            EXPECT_EQ(run.exitCode, first == last ? 0 : first < readingOps ? 2 : 4);
            if (first < last) {
                EXPECT_NE(run.out.find(expectedMessage(fs.log()[first])), std::string::npos);
            }
            for (int f = 0; f < 2; ++f) {
                const Bytes before = f ? fixture("sample.img") : fixture("gmapsupp.img"), after = fs.bytes(kFiles[f]);
                ASSERT_EQ(after.size(), before.size()) << kFiles[f];
                for (std::size_t i = 0; i < after.size(); ++i)
                    EXPECT_TRUE(after[i] == before[i] || intended[f].count(i)) << kFiles[f] << " byte " << i;
            }
            // A single failure in the first file leaves the second one edited.
            if (!andAfter && failed.path == "a.img" && n > readingOps) {
                EXPECT_EQ(fs.bytes("b.img"), clean.bytes("b.img"));
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Edits, EditFaults,
                         ::testing::Values(std::vector<std::string>{"-h", "-c", "2.5,1", "-m", "Nowa nazwa"},
                                           std::vector<std::string>{"-p", "20", "-t"},
                                           std::vector<std::string>{"-e", "+100"}, std::vector<std::string>{"-1"},
                                           std::vector<std::string>{"-y", "100,2"}));

}  // namespace
