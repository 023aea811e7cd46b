// The listing of real containers made by mkgmap, and of crafted ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/run_clx.h"

namespace {

const std::string kBanner = std::string("clx v") + CLX_VERSION + "\n\n";

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

TEST(Listing, XorTwinDiffersOnlyInTheXorByte) {
    ScratchDir dir;
    std::string plain = readFile(testData("img/63240001.img"));
    std::string twin = plain;
    for (char& c : twin) c = static_cast<char>(c ^ 0x5A);
    twin[0] = 0x5A;
    writeFile(dir / "plain.img", plain);
    writeFile(dir / "twin.img", twin);
    ClxResult a = runClx({"-i", "-v", "plain.img"}, "C", dir.path());
    ClxResult b = runClx({"-i", "-v", "twin.img"}, "C", dir.path());
    ASSERT_EQ(a.exitCode, 0);
    ASSERT_EQ(b.exitCode, 0);
    // Same listing, the names and the xor byte apart.
    std::string expected = a.out;
    for (std::size_t p = 0; (p = expected.find("plain.img", p)) != std::string::npos; p += 8) expected.replace(p, 9, "twin.img");
    std::size_t x = expected.find("xor 00h");
    ASSERT_NE(x, std::string::npos);
    expected.replace(x, 7, "xor 5Ah");
    const std::string& got = b.out;
    EXPECT_EQ(got, expected);
}

std::vector<uint8_t> treHeader(uint32_t mapId) {
    std::vector<uint8_t> b = commonHeader("TRE", 188, 110, 0, 5, 7, 8, 9);
    b.resize(300, 0);
    putLe32(b, 0x74, mapId);
    for (uint32_t off : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) putLe32(b, off, 188);
    putLe24(b, 0x15, 0x800000);  // north: +180
    putLe24(b, 0x1E, 0x800000);  // west: -180
    b[0x3F] = 2;
    b[0x40] = 20;
    return b;
}

TEST(Listing, CraftedContainerWithWarning) {
    ScratchDir dir;
    std::vector<uint8_t> typ = commonHeader("TYP", 0x5B);
    typ[11] = 'Q';
    typ.resize(120, 0);
    ImgLayout l;
    l.description = "                                                  ";
    l.versionMajor = 1;
    l.versionMinor = 5;
    l.subfiles = {{"I0000041", "TRE", treHeader(0), {}}, {"I0000041", "RGN", std::vector<uint8_t>(10, 1), {}},
                  {"STYLE", "TYP", typ, {}}};
    writeBytes(dir / "c.img", buildImg(l));
    ClxResult r = runClx({"-i", "c.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kBanner +
                         "== Warning: Bad data in TYP subfile, file c.img.\n"
                         "\n\n"
                         "File:\t\tc.img, length 4096\n"
                         "Header:   \t01.01.2020 00:00:00, DSKIMG, xor 00h, Ms 0\n"
                         "Mapset:   \t  (1.05)\n"
                         "\n"
                         "Map              length s-f  CP    prio  PID   FID  name\n"
                         " I0000041 MPC       310  2         20  T\n"
                         " STYLE     ?        120  1 ???\n"
                         "\n\n"
                         "\nThere were warnings, result can be faulty.\n");
}

TEST(Listing, CraftedTreDetails) {
    ScratchDir dir;
    ImgLayout l;
    l.subfiles = {{"I0000041", "TRE", treHeader(65), {}}};
    writeBytes(dir / "c.img", buildImg(l));
    ClxResult r = runClx({"-i", "-v", "c.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(" I0000041 TRE    400h       300\n"
                         "\tmap 41 (65)\n"
                         "\tdate 05.01.2010 07:08:09\n"
                         "\tpriority 20, parameters 0 0 0 2, transparent\n"
                         "\tlevels [], zoom []\n"
                         "\tN: 180.000000, S: 0.000000, W: -180.000000, E: 0.000000\n"),
              std::string::npos)
        << r.out;
}

TEST(Listing, HostileFilesEndCleanly) {
    ScratchDir dir;
    // A container whose header entry claims more than the file holds.
    ImgLayout l;
    l.spareEntries = 1;
    ImgPlan p = planImg(l);
    p.fileSize = 4096;
    p.entries[0].size = 0xFFFFFFF0;
    writeBytes(dir / "big.img", renderImg(p));
    ClxResult r = runClx({"-i", "big.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, kBanner + "Wrong header (fat size), file big.img.\n");

    writeFile(dir / "x", "abc");
    r = runClx({"-i", "-a", "x"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 1);  // -a belongs to -j
    r = runClx({"-j", "-a", "-i", "x"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, kBanner + "Wrong header (DSKIMG GARMIN), file x.\n");
}

}  // namespace

namespace {

// Every input that once broke the reader still ends with a message and an exit code.
TEST(Listing, FuzzRegressions) {
    ScratchDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(testData("fuzz"))) {
        if (entry.path().extension() == ".md") continue;
        std::string bytes = readFile(entry.path());
        for (const char* name : {"f.img", "f.typ", "f.trf", "f.mmr", "f.md2"}) {
            writeFile(dir / name, bytes);
            ClxResult r = runClx({"-j", "-a", "-i", "-v", name}, "C", dir.path());
            EXPECT_TRUE(r.exitCode == 2 || r.exitCode == 3) << entry.path() << " as " << name << ": " << r.exitCode;
        }
    }
}

}  // namespace
