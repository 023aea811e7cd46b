// The listing of real containers made by mkgmap, and of crafted ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/run_clx.h"

namespace {

struct Listing {
    const char* golden;
    std::vector<std::string> args;
};

// Expected texts were checked line by line against the listing's format and
// against what tools/make_fixtures.sh asked mkgmap to make (map IDs, sizes,
// names, family and product IDs).
class RealFiles : public ::testing::TestWithParam<Listing> {};

TEST_P(RealFiles, ListExactly) {
    const Listing& l = GetParam();
    ClxResult r = runClx(l.args, "C", testData("img"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kBanner + readFile(testData(std::string("listing/") + l.golden)));
}

INSTANTIATE_TEST_SUITE_P(Listing, RealFiles,
                         ::testing::Values(Listing{"gmapsupp_v_en.txt", {"-i", "-v", "gmapsupp.img"}},
                                           Listing{"gmapsupp_en.txt", {"-i", "gmapsupp.img"}},
                                           Listing{"dem_v_en.txt", {"-i", "-v", "63240003.img"}},
                                           Listing{"sample_pl.txt", {"-P", "-i", "sample.img"}},
                                           Listing{"typ_v_en.txt", {"-i", "-v", "test.typ"}},
                                           Listing{"two_v_pl.txt", {"-i", "-v", "-P", "mapset_mdr.img", "63240001.img"}}),
                         [](const auto& info) {
                             std::string n = info.param.golden;
                             return n.substr(0, n.find('.'));
                         });

// A map of a TRE of map ID 65 (north +180, west -180, priority 20, transparent)
// and an RGN; a TYP of a type letter that is none. All of it is read through
// the XOR scrambling.
TEST(Listing, CraftedContainerWithWarning) {
    ScratchDir dir;
    Bytes tre = treSubfile(65), typ = commonHeader("TYP", 0x5B);
    const Bytes dated = commonHeader("TRE", 188, 110, 0, 5, 7, 8, 9);
    std::copy(dated.begin(), dated.begin() + 0x15, tre.begin());
    tre[0x17] = tre[0x20] = 0x80;
    tre[0x3F] = 2;
    tre[0x40] = 20;
    typ[11] = 'Q';
    typ.resize(120, 0);
    ImgLayout l{.xorByte = 0x5A, .description = std::string(50, ' '), .versionMajor = 1, .versionMinor = 5};
    l.subfiles = {{"I0000041", "TRE", tre}, {"I0000041", "RGN", Bytes(10, 1)}, {"STYLE", "TYP", typ}};
    writeBytes(dir / "c.img", buildImg(l));
    const ClxResult r = runClx({"-i", "-v", "c.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kBanner +
                         "Input file: c.img.\n"
                         "== Warning: Bad data in TYP subfile, file c.img.\n\n\n"
                         "File:\t\tc.img, length 4096\n"
                         "Header:   \t01.01.2020 00:00:00, DSKIMG, xor 5Ah, Ms 0\n"
                         "Mapset:   \t  (1.05)\n"
                         "fat:\t\t200h - 400h - A00h, block 512\n"
                         "maps:\t\t2, sub-files 3\n\n"
                         "Sub-file         fat     length\n"
                         " I0000041 TRE    400h       300\n"
                         "\tmap 41 (65)\n"
                         "\tdate 05.01.2010 07:08:09\n"
                         "\tpriority 20, parameters 0 0 0 2, transparent\n"
                         "\tlevels [], zoom []\n"
                         "\tN: 180.000000, S: 0.000000, W: -180.000000, E: 0.000000\n"
                         " I0000041 RGN    600h        10\n"
                         " STYLE    TYP    800h       120 ???\n"
                         "\tdate 01.01.2020 00:00:00, CP    0, PID 0, FID 0\n\n"
                         "Map              length s-f  CP    prio  PID   FID  name\n"
                         " I0000041 MPC       310  2         20  T\n"
                         " STYLE     ?        120  1 ???\n\n\n\n"
                         "There were warnings, result can be faulty.\n");
}

// Every input that once broke the reader still ends with a message and an exit code.
TEST(Listing, FuzzRegressions) {
    ScratchDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(testData("fuzz"))) {
        if (entry.path().extension() == ".md" || entry.is_directory()) continue;
        std::string bytes = readFile(entry.path());
        for (const char* name : {"f.img", "f.typ", "f.trf", "f.mmr", "f.md2"}) {
            writeFile(dir / name, bytes);
            ClxResult r = runClx({"-j", "-a", "-i", "-v", name}, "C", dir.path());
            EXPECT_TRUE(r.exitCode == 2 || r.exitCode == 3) << entry.path() << " as " << name << ": " << r.exitCode;
        }
    }
}

}  // namespace
