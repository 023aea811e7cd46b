// Joined containers read by other programs of the field: mkgmap takes one as
// input for a device container, libgarmin opens one as a map. Each test skips
// when its program is not installed (.ci/run installs both).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/img_verifier.h"
#include "support/run_clx.h"

namespace fs = std::filesystem;

namespace {

const char* const kMkgmap = "/usr/bin/mkgmap";
const ImgVerifyOptions kForeign{false, false};  // other programs' output: read the FAT, check the layout

struct ToolResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a program in `dir` with a time limit, collecting what it prints.
ToolResult runTool(std::vector<std::string> args, const fs::path& dir, int seconds = 120) {
    args.insert(args.begin(), {"timeout", std::to_string(seconds)});
    const fs::path log = dir / ".tool.log";
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || chdir(dir.c_str()) != 0) _exit(127);
        dup2(fd, 1);
        dup2(fd, 2);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ToolResult r;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.output = readFile(log);
    fs::remove(log);
    return r;
}


::testing::AssertionResult verified(const std::vector<uint8_t>& file, VerifiedImg& out,
                                    const ImgVerifyOptions& options = {}) {
    std::string error;
    if (file.empty()) return ::testing::AssertionFailure() << "empty or missing file";
    if (verifyImg(file, out, error, options)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << error;
}

// Joins fixtures (copied into `dir`, so that clx sees plain names) into `out`.
void join(const ScratchDir& dir, const std::string& out, const std::vector<std::string>& fixtures) {
    std::vector<std::string> args = {"-j", "-o", out};
    for (const std::string& f : fixtures) {
        fs::copy_file(testData("img/" + f), dir / f, fs::copy_options::overwrite_existing);
        args.push_back(f);
    }
    const ClxResult r = runClx(args, "C", dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
}

const std::vector<std::string> kTileTypes = {"TRE", "RGN", "LBL", "NET", "NOD"};

}  // namespace

// mkgmap copies the subfiles of a ready container given as input into its
// device container; what it copies must be exactly what clx wrote, and what
// clx wrote must be exactly the tile's.
TEST(JoinInterop, MkgmapTakesAJoinedTileAsInput) {
    if (access(kMkgmap, X_OK) != 0) GTEST_SKIP() << kMkgmap << " not installed";
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(join(dir, "one.img", {"63240001.img"}));
    const auto one = readBytes(dir / "one.img");
    VerifiedImg joined;
    ASSERT_TRUE(verified(one, joined));

    const ToolResult m = runTool({kMkgmap, "--output-dir=out", "--gmapsupp", "one.img"}, dir.path());
    ASSERT_EQ(m.exitCode, 0) << m.output;
    EXPECT_EQ(m.output.find("Exception:"), std::string::npos) << m.output;
    const auto supp = readBytes(dir / "out" / "gmapsupp.img");
    VerifiedImg device;
    ASSERT_TRUE(verified(supp, device, kForeign)) << "mkgmap's gmapsupp.img";

    const auto tile = readBytes(testData("img/63240001.img"));
    VerifiedImg original;
    ASSERT_TRUE(verified(tile, original, kForeign));
    for (const std::string& type : kTileTypes) {
        const std::string name = "63240001." + type;
        SCOPED_TRACE(name);
        ASSERT_NE(joined.find(name), nullptr);
        ASSERT_NE(device.find(name), nullptr) << "mkgmap did not copy it";
        const auto ours = subfileBytes(one, joined, name);
        EXPECT_EQ(ours, subfileBytes(tile, original, name)) << "changed by the join";
        EXPECT_EQ(subfileBytes(supp, device, name), ours) << "changed by mkgmap";
    }
}

// The same with two tiles and a TYP in one container: mkgmap then treats the
// input as a device container and copies every map subfile it holds.
TEST(JoinInterop, MkgmapTakesAJoinedMapsetAsInput) {
    if (access(kMkgmap, X_OK) != 0) GTEST_SKIP() << kMkgmap << " not installed";
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(join(dir, "two.img", {"63240001.img", "63240002.img", "test.typ"}));
    const auto two = readBytes(dir / "two.img");
    VerifiedImg joined;
    ASSERT_TRUE(verified(two, joined));

    const ToolResult m = runTool({kMkgmap, "--output-dir=out", "--gmapsupp", "two.img"}, dir.path());
    ASSERT_EQ(m.exitCode, 0) << m.output;
    const auto supp = readBytes(dir / "out" / "gmapsupp.img");
    VerifiedImg device;
    ASSERT_TRUE(verified(supp, device, kForeign)) << "mkgmap's gmapsupp.img";
    for (const char* map : {"63240001", "63240002"})
        for (const std::string& type : kTileTypes) {
            const std::string name = std::string(map) + "." + type;
            SCOPED_TRACE(name);
            ASSERT_NE(joined.find(name), nullptr);
            ASSERT_NE(device.find(name), nullptr) << "mkgmap did not copy it";
            EXPECT_EQ(subfileBytes(supp, device, name), subfileBytes(two, joined, name));
        }
}

// libgarmin, given the joined container, must select both tiles and decode
// objects from each, and hand out the subfiles exactly as the inputs had them.
TEST(JoinInterop, LibgarminOpensBothJoinedMaps) {
#ifndef CLX_GARMIN_OPEN
    GTEST_SKIP() << "libgarmin was not found when the build was configured";
#else
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(join(dir, "two.img", {"63240001.img", "63240002.img", "test.typ"}));
    const auto two = readBytes(dir / "two.img");
    VerifiedImg joined;
    ASSERT_TRUE(verified(two, joined));
    std::string typName;
    for (const VerifiedSubfile& s : joined.subfiles)
        if (s.type == "TYP") typName = s.fullName();
    ASSERT_FALSE(typName.empty()) << "no TYP subfile in the joined container";

    const ToolResult g = runTool({CLX_GARMIN_OPEN, "two.img", "63240001.TRE", "a.tre", "63240002.RGN", "b.rgn",
                                  "63240002.NOD", "b.nod", typName, "t.typ"},
                                 dir.path());
    ASSERT_EQ(g.exitCode, 0) << g.output;
    std::map<std::string, long> facts;  // "maps", "map <id> objects", "extracted <name>": the last word
    std::istringstream lines(g.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t cut = line.rfind(' ');
        if (cut != std::string::npos && cut + 1 < line.size() &&
            line.find_first_not_of("0123456789", cut + 1) == std::string::npos)
            facts[line.substr(0, cut)] = std::stol(line.substr(cut + 1));
    }
    EXPECT_EQ(facts["maps"], 2) << g.output;
    EXPECT_GT(facts["map 63240001 objects"], 0) << "no objects decoded from the first tile\n" << g.output;
    EXPECT_GT(facts["map 63240002 objects"], 0) << "no objects decoded from the second tile\n" << g.output;

    const auto tile1 = readBytes(testData("img/63240001.img"));
    const auto tile2 = readBytes(testData("img/63240002.img"));
    VerifiedImg v1, v2;
    ASSERT_TRUE(verified(tile1, v1, kForeign));
    ASSERT_TRUE(verified(tile2, v2, kForeign));
    EXPECT_EQ(readBytes(dir / "a.tre"), subfileBytes(tile1, v1, "63240001.TRE"));
    EXPECT_EQ(readBytes(dir / "b.rgn"), subfileBytes(tile2, v2, "63240002.RGN"));
    EXPECT_EQ(readBytes(dir / "b.nod"), subfileBytes(tile2, v2, "63240002.NOD"));
    EXPECT_EQ(readBytes(dir / "t.typ"), readBytes(testData("img/test.typ")));
#endif
}
