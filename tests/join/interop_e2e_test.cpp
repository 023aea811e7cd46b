// Joined containers read by other programs of the field: mkgmap takes one as
// input for a device container, libgarmin opens one as a map. Each test skips
// when its program is not installed (.ci/run installs both).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/img_verifier.h"
#include "support/run_clx.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

const char* const kMkgmap = "/usr/bin/mkgmap";

// Runs a program in `dir` with a time limit; its exit code and all it printed.
std::pair<int, std::string> runTool(const Names& args, const fs::path& dir) {
    std::string command = "cd '" + dir.string() + "' && timeout 120";
    for (const std::string& a : args) command += " '" + a + "'";
    const int status = std::system((command + " >.tool.log 2>&1 </dev/null").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / ".tool.log")};
}

// Joins fixtures (copied into `dir`, so that clx sees plain names) into all.img.
Img join(const ScratchDir& dir, const Names& fixtures) {
    Names args = {"-j", "-o", "all.img"};
    for (const std::string& f : fixtures) {
        fs::copy_file(testData("img/" + f), dir / f);
        args.push_back(f);
    }
    const ClxResult r = runClx(args, "C", dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    return readImg(dir / "all.img");
}

}  // namespace

// mkgmap copies the map subfiles of a ready container given as input into its
// device container: one tile alone, or two tiles and a TYP, which it then takes
// for a device container. What it copies must be exactly what clx wrote, and
// what clx wrote exactly the tile's.
TEST(JoinInterop, MkgmapTakesAJoinedContainerAsInput) {
    if (!fs::exists(kMkgmap)) GTEST_SKIP() << kMkgmap << " not installed";
    for (const Names& fixtures : {Names{"63240001.img"}, Names{"63240001.img", "63240002.img", "test.typ"}}) {
        SCOPED_TRACE(fixtures.size());
        ScratchDir dir;
        const Img joined = join(dir, fixtures);
        const auto [code, output] = runTool({kMkgmap, "--output-dir=out", "--gmapsupp", "all.img"}, dir.path());
        ASSERT_EQ(code, 0) << output;
        EXPECT_EQ(output.find("Exception:"), std::string::npos) << output;
        const Img device = readImg(dir / "out/gmapsupp.img", {false, false});
        for (const std::string& input : fixtures) {
            if (input == "test.typ") continue;
            const Img tile = readImg(testData("img/" + input), {false, false});
            for (const std::string type : {"TRE", "RGN", "LBL", "NET", "NOD"}) {
                const std::string name = input.substr(0, 9) + type;  // 63240001.TRE
                EXPECT_EQ(joined[name], tile[name]) << name << " changed by the join";
                EXPECT_EQ(device[name], joined[name]) << name << " changed by mkgmap";  // throws when not copied
            }
        }
    }
}

// libgarmin, given the joined container, must select both tiles and decode
// objects from each, and hand out the subfiles exactly as the inputs had them.
TEST(JoinInterop, LibgarminOpensBothJoinedMaps) {
#ifndef CLX_GARMIN_OPEN
    GTEST_SKIP() << "libgarmin was not found when the build was configured";
#else
    ScratchDir dir;
    join(dir, {"63240001.img", "63240002.img", "test.typ"});
    const auto [code, output] = runTool({CLX_GARMIN_OPEN, "all.img", "63240001.TRE", "a.tre", "63240002.RGN", "b.rgn",
                                         "63240002.NOD", "b.nod", "I0001B59.TYP", "t.typ"},
                                        dir.path());
    ASSERT_EQ(code, 0) << output;
    // Only maps with objects are reported.
    for (const char* fact : {"maps 2\n", "map 63240001 objects ", "map 63240002 objects "})
        EXPECT_NE(output.find(fact), std::string::npos) << fact << " missing from\n" << output;
    const Img tile1 = readImg(testData("img/63240001.img"), {false, false});
    const Img tile2 = readImg(testData("img/63240002.img"), {false, false});
    EXPECT_EQ(readBytes(dir / "a.tre"), tile1["63240001.TRE"]);
    EXPECT_EQ(readBytes(dir / "b.rgn"), tile2["63240002.RGN"]);
    EXPECT_EQ(readBytes(dir / "b.nod"), tile2["63240002.NOD"]);
    EXPECT_EQ(readBytes(dir / "t.typ"), readBytes(testData("img/test.typ")));
#endif
}
