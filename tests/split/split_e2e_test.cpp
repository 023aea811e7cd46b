// The split commands from the command line: what they write, where, and that
// nothing escapes the output directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/img_verifier.h"
#include "support/run_clx.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> filesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir)) names.insert(fs::relative(e.path(), dir).string());
    return names;
}

class Split : public ::testing::Test {
protected:
    ScratchDir dir;
    void SetUp() override {
        for (const char* f : {"63240001.img", "63240002.img", "gmapsupp.img", "test.typ"})
            fs::copy_file(testData(std::string("img/") + f), dir / f);
        fs::create_directory(dir / "out");
    }
    ClxResult clx(const std::vector<std::string>& args) { return runClx(args, "C", dir.path()); }
};

TEST_F(Split, MapsOfARealContainer) {
    ClxResult r = clx({"-s", "-t", "-o", "out", "gmapsupp.img", "test.typ"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner +
                         "Split map gmapsupp.img.\n"
                         "Write data MAKEGMAP ->     MAKEGMAP.MPS\n"
                         "Write map  00007001 ->     7001_mdr.img\n"
                         "Write map  63240001 ->     63240001.img\n"
                         "Write map  63240002 ->     63240002.img\n"
                         "Write data TEST_TYP ->     TEST_TYP.TYP\n"
                         "Split map, data file test.typ.\n"
                         "Write data test.typ\n");
    EXPECT_EQ(filesIn(dir / "out"), (std::set<std::string>{"MAKEGMAP.MPS", "7001_mdr.img", "63240001.img",
                                                           "63240002.img", "TEST_TYP.TYP", "test.typ", "split.lst"}));
    // The copied stand-alone input is not listed.
    EXPECT_EQ(readFile(dir / "out/split.lst"),
              "MAKEGMAP.MPS\n7001_mdr.img\n63240001.img\n63240002.img\nTEST_TYP.TYP\n");
    const Img gmapsupp = readImg(dir / "gmapsupp.img", {false, false});
    for (const char* map : {"63240001.img", "63240002.img", "7001_mdr.img"}) {
        const Img part = readImg(dir / "out" / map);
        EXPECT_FALSE(part.img.subfiles.empty()) << map;
        for (const VerifiedSubfile& s : part.img.subfiles)  // each one in gmapsupp, byte for byte
            EXPECT_TRUE(gmapsupp[s.name + s.type] == part[s.name + s.type]) << s.fullName();  // throws when missing
    }
    EXPECT_EQ(readBytes(dir / "out/TEST_TYP.TYP"), gmapsupp["TEST_TYPTYP"]);
    EXPECT_EQ(readBytes(dir / "out/MAKEGMAP.MPS"), gmapsupp["MAKEGMAPMPS"]);
    EXPECT_EQ(readBytes(dir / "out/test.typ"), readBytes(dir / "test.typ"));
    // Header order, no catalogue, the map description from its record.
    const Img map = readImg(dir / "out/63240001.img");
    EXPECT_EQ(map.order(), (std::vector<std::string>{"63240001.LBL", "63240001.RGN", "63240001.TRE", "63240001.NET",
                                                     "63240001.NOD"}));
    EXPECT_EQ(map.img.description, "Kafelek 1");

    // A second run replaces nothing, and still succeeds.
    r = clx({"-s", "-o", "out", "gmapsupp.img", "test.typ"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kBanner +
                         "Split map gmapsupp.img.\n"
                         "Write data MAKEGMAP ->     MAKEGMAP.MPS\nOutput file already exist, file out/MAKEGMAP.MPS.\n"
                         "Write map  00007001 ->     7001_mdr.img\nOutput file already exist, file out/7001_mdr.img.\n"
                         "Write map  63240001 ->     63240001.img\nOutput file already exist, file out/63240001.img.\n"
                         "Write map  63240002 ->     63240002.img\nOutput file already exist, file out/63240002.img.\n"
                         "Write data TEST_TYP ->     TEST_TYP.TYP\nOutput file already exist, file out/TEST_TYP.TYP.\n"
                         "Split map, data file test.typ.\n");
}

TEST_F(Split, SubfilesOfAnXorTwin) {
    std::string twin = readFile(dir / "63240001.img");
    for (char& c : twin) c = static_cast<char>(c ^ 0x3C);
    twin[0] = 0x3C;
    writeFile(dir / "twin.img", twin);
    ClxResult r = clx({"-g", "-t", "-o", "out", "twin.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner +
                         "Write subfile 63240001.RGN\nWrite subfile 63240001.TRE\nWrite subfile 63240001.LBL\n"
                         "Write subfile 63240001.NET\nWrite subfile 63240001.NOD\n");
    const Img plain = readImg(dir / "63240001.img", {false, false});
    for (const std::string& name : plain.order()) EXPECT_EQ(readBytes(dir / "out" / name), plain[name]) << name;
    EXPECT_EQ(readFile(dir / "out/split.lst"),
              "63240001.RGN\n63240001.TRE\n63240001.LBL\n63240001.NET\n63240001.NOD\n");
}

TEST_F(Split, NamesFromFileDataStayInTheOutputDirectory) {
    Bytes typ = commonHeader("TYP", 0x5B);
    typ.resize(120, 0);
    ImgLayout l;
    l.subfiles = {{"../../x", "TYP", typ}, {"/etc/pa", "RGN", commonHeader("RGN", 0x1D)},
                  {"a\\b", "LBL", commonHeader("LBL", 0x20)}, {"..", "NET", commonHeader("NET", 0x20)},
                  {"\x01\x1b", "A/B", Bytes(10, 4)}, {".", "..", Bytes(10, 5)}};
    writeBytes(dir / "bad.img", buildImg(l));
    fs::create_directories(dir / "deep/er/out");
    for (const char* command : {"-s", "-g", "-G"})
        EXPECT_EQ(clx({command, "-o", "deep/er/out", "bad.img"}).exitCode, 0) << command;
    // Everything made is a plain file right in the output directory.
    const std::set<std::string> made = {".._.._x.TYP", "_etc_pa.img", "_etc_pa.RGN", "a_b.img", "a_b.LBL",
                                        "_.img",       "_.NET",       "_.A_B",       "_._"};
    std::set<std::string> all = {"er", "er/out"};
    for (const std::string& name : made) {
        all.insert("er/out/" + name);
        EXPECT_TRUE(fs::is_regular_file(dir / "deep/er/out" / name)) << name;
    }
    EXPECT_EQ(filesIn(dir / "deep"), all);
    EXPECT_FALSE(fs::exists(dir / "x.TYP"));
}

TEST_F(Split, OutputsAreNeverTruncated) {
    writeFile(dir / "out/63240001.TRE", "keep");
    ClxResult r = clx({"-g", "-o", "out", "63240001.img"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(readFile(dir / "out/63240001.TRE"), "keep");
    // A directory that cannot be written: the split goes on, then fails.
    r = clx({"-g", "-o", "missing", "63240001.img"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.out.find("Create output file error, file missing/63240001.RGN.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Write subfile 63240001.NOD\n"), std::string::npos) << r.out;
}

// An output that cannot be written whole is removed, so that a later run never
// takes a half file for a finished one; the run ends with exit code 4.
TEST_F(Split, PartialOutputsAreRemoved) {
    ClxResult r = runClx({{"-g", "-o", "out", "63240001.img"}, "C", dir.path(), {}, 512});
    EXPECT_EQ(r.exitCode, 4) << r.out;
    // The write that no longer fits shows when the file is closed.
    EXPECT_NE(r.out.find("Write error, file out/63240001.TRE.\n"), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(dir / "out"), std::set<std::string>{"63240001.RGN"});
}

// Maps 1 and 2 are in families 100 and 200 (products 2 and 1), map 3 in none.
TEST_F(Split, FamiliesGetTheirOwnContainers) {
    ImgLayout l;
    l.subfiles = {{"MAPSOURC", "MPS",
                   concat({recordL(1, 100, 1, {"S", "D", "A"}, 1), recordL(1, 200, 2, {"S", "D", "A"}, 2),
                           recordF(2, 200, "Druga"), recordF(1, 100, "Pierwsza"), recordF(1, 200, "Druga jeden"),
                           recordV("v")})},
                  {"00000001", "TRE", treSubfile(1)}, {"00000002", "TRE", treSubfile(2)},
                  {"00000003", "TRE", treSubfile(3)}};
    writeBytes(dir / "fam.img", buildImg(l));
    ClxResult r = clx({"-G", "-o", "out", "fam.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Split file fam.img into mapsets.\n"), std::string::npos);
    EXPECT_NE(r.out.find("== Warning: not all maps were used.\n== Unused map 00000003 MPC.\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(filesIn(dir / "out"), (std::set<std::string>{"FAM_0100.img", "FAM_0200.img"}));
    // Each map with its 'L' record, then 'V', 'P' and 'F' of the family with the lowest product.
    for (const auto& [map, family, name] : {std::tuple{1u, 100u, "Pierwsza"}, std::tuple{2u, 200u, "Druga jeden"}}) {
        const Img fam = readImg(dir / ("out/FAM_0" + std::to_string(family) + ".img"));
        ASSERT_EQ(fam.img.subfiles.size(), 2u) << family;
        EXPECT_EQ(fam.img.subfiles[0].fullName(), "0000000" + std::to_string(map) + ".TRE");
        EXPECT_EQ(fam.img.description, name);
        EXPECT_EQ(fam["MAPSOURCMPS"], concat({recordL(1, family, map, {"S", "D", "A"}, map), recordV(name),
                                              mpsRecord('P', Fields().u16(1).u16(family).u16(0).u32(0)),
                                              recordF(1, family, name)}));
    }
}

}  // namespace
