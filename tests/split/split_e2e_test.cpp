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

using Bytes = std::vector<uint8_t>;

const std::string kBanner = std::string("clx v") + CLX_VERSION + "\n\n";
const ImgVerifyOptions kForeign{false, false};

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
    Bytes subfile(const fs::path& file, const std::string& name, bool ours) {
        Bytes bytes = readBytes(file);
        VerifiedImg img;
        std::string error;
        EXPECT_TRUE(verifyImg(bytes, img, error, ours ? ImgVerifyOptions{} : kForeign)) << file << ": " << error;
        return subfileBytes(bytes, img, name);
    }
};

TEST_F(Split, MapsOfARealContainer) {
    ClxResult r = runClx({"-s", "-t", "-o", "out", "gmapsupp.img", "test.typ"}, "C", dir.path());
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
    EXPECT_EQ(filesIn(dir / "out"), (std::set<std::string>{"MAKEGMAP.MPS", "7001_mdr.img", "63240001.img", "63240002.img",
                                                           "TEST_TYP.TYP", "test.typ", "split.lst"}));
    // The copied stand-alone input is not listed.
    EXPECT_EQ(readFile(dir / "out/split.lst"), "MAKEGMAP.MPS\n7001_mdr.img\n63240001.img\n63240002.img\nTEST_TYP.TYP\n");
    for (const char* t : {"TRE", "RGN", "LBL", "NET", "NOD"})
        EXPECT_EQ(subfile(dir / "out/63240001.img", std::string("63240001") + t, true),
                  subfile(dir / "63240001.img", std::string("63240001") + t, false))
            << t;
    Bytes map = readBytes(dir / "out/63240001.img");
    VerifiedImg img;
    std::string error;
    ASSERT_TRUE(verifyImg(map, img, error)) << error;
    // Header order, no catalogue, the map description from its record.
    std::vector<std::string> order;
    for (const VerifiedSubfile& s : img.subfiles) order.push_back(s.type);
    EXPECT_EQ(order, (std::vector<std::string>{"LBL", "RGN", "TRE", "NET", "NOD"}));
    EXPECT_EQ(img.description, "Kafelek 1");
    EXPECT_EQ(subfile(dir / "out/7001_mdr.img", "00007001SRT", true), subfile(dir / "gmapsupp.img", "00007001SRT", false));
    EXPECT_EQ(readBytes(dir / "out/TEST_TYP.TYP"), subfile(dir / "gmapsupp.img", "TEST_TYPTYP", false));
    EXPECT_EQ(readBytes(dir / "out/MAKEGMAP.MPS"), subfile(dir / "gmapsupp.img", "MAKEGMAPMPS", false));
    EXPECT_EQ(readBytes(dir / "out/test.typ"), readBytes(dir / "test.typ"));

    // A second run makes nothing new and still succeeds.
    r = runClx({"-s", "-o", "out", "gmapsupp.img", "test.typ"}, "C", dir.path());
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

TEST_F(Split, JoinThenSplitGivesTheSubfilesBack) {
    ASSERT_EQ(runClx({"-j", "-o", "all.img", "63240001.img", "63240002.img"}, "C", dir.path()).exitCode, 0);
    ClxResult r = runClx({"-s", "-o", "out/", "all.img"}, "C", dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    for (const char* map : {"63240001", "63240002"})
        for (const char* t : {"TRE", "RGN", "LBL", "NET", "NOD"})
            EXPECT_EQ(subfile(dir / "out" / (std::string(map) + ".img"), std::string(map) + t, true),
                      subfile(dir / (std::string(map) + ".img"), std::string(map) + t, false))
                << map << t;
    // The join's catalogue comes out as a data file.
    EXPECT_TRUE(fs::exists(dir / "out/MAPSOURC.MPS"));
}

TEST_F(Split, SubfilesOfAnXorTwin) {
    std::string twin = readFile(dir / "63240001.img");
    for (char& c : twin) c = static_cast<char>(c ^ 0x3C);
    twin[0] = 0x3C;
    writeFile(dir / "twin.img", twin);
    ClxResult r = runClx({"-g", "-t", "-o", "out", "twin.img"}, "C", dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner +
                         "Write subfile 63240001.RGN\nWrite subfile 63240001.TRE\nWrite subfile 63240001.LBL\n"
                         "Write subfile 63240001.NET\nWrite subfile 63240001.NOD\n");
    for (const char* t : {"TRE", "RGN", "LBL", "NET", "NOD"})
        EXPECT_EQ(readBytes(dir / "out" / (std::string("63240001.") + t)), subfile(dir / "63240001.img", std::string("63240001") + t, false));
    EXPECT_EQ(readFile(dir / "out/split.lst"), "63240001.RGN\n63240001.TRE\n63240001.LBL\n63240001.NET\n63240001.NOD\n");
}

// A container whose names come from a hostile file.
Bytes hostile() {
    ImgLayout l;
    Bytes typ = commonHeader("TYP", 0x5B);
    typ.resize(120, 0);
    l.subfiles = {{"../../x", "TYP", typ, {}},
                  {"/etc/pa", "RGN", commonHeader("RGN", 0x1D), {}},
                  {"a\\b", "LBL", commonHeader("LBL", 0x20), {}},
                  {"..", "NET", commonHeader("NET", 0x20), {}},
                  {"\x01\x1b", "A/B", Bytes(10, 4), {}},
                  {".", "..", Bytes(10, 5), {}}};
    return buildImg(l);
}

TEST_F(Split, NamesFromFileDataStayInTheOutputDirectory) {
    writeBytes(dir / "bad.img", hostile());
    fs::create_directories(dir / "deep/er/out");
    for (const char* command : {"-s", "-g", "-G"}) {
        ClxResult r = runClx({command, "-o", "deep/er/out", "bad.img"}, "C", dir.path());
        EXPECT_EQ(r.exitCode, 0) << command << r.out;
    }
    // Everything made is a plain file right in the output directory.
    std::set<std::string> made = filesIn(dir / "deep/er/out");
    for (const std::string& name : made) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_TRUE(fs::is_regular_file(dir / "deep/er/out" / name)) << name;
    }
    std::set<std::string> all = {"er", "er/out"};
    for (const std::string& n : made) all.insert("er/out/" + n);
    EXPECT_EQ(filesIn(dir / "deep"), all);
    EXPECT_FALSE(fs::exists(dir / "x.TYP"));
    EXPECT_TRUE(made.count(".._.._x.TYP")) << ::testing::PrintToString(made);
    EXPECT_TRUE(made.count("_.NET")) << ::testing::PrintToString(made);
    EXPECT_TRUE(made.count("_.A_B")) << ::testing::PrintToString(made);
    EXPECT_TRUE(made.count("_etc_pa.img")) << ::testing::PrintToString(made);
}

TEST_F(Split, OutputsAreNeverFollowedOrTruncated) {
    fs::create_symlink(dir / "target.img", dir / "out/63240001.img");
    writeFile(dir / "out/63240001.TRE", "keep");
    ClxResult r = runClx({"-s", "-o", "out", "63240001.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(fs::exists(dir / "target.img"));
    r = runClx({"-g", "-o", "out", "63240001.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(readFile(dir / "out/63240001.TRE"), "keep");
    // A directory that cannot be written: the split goes on, then fails.
    r = runClx({"-g", "-o", "missing", "63240001.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.out.find("Create output file error, file missing/63240001.RGN.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Write subfile 63240001.NOD\n"), std::string::npos) << r.out;
}

// Maps with map IDs 1 to 3; the catalogue puts 1 in family 100, 2 in family
// 200 (products 2 and 1), 3 in none.
Bytes twoFamilies() {
    auto tre = [](uint32_t id) {
        Bytes t = commonHeader("TRE", 188);
        t.resize(300, 0);
        putLe32(t, 0x74, id);
        return t;
    };
    auto lrec = [](uint16_t pid, uint16_t fid, uint32_t id) {
        Bytes b;
        appendLe16(b, pid);
        appendLe16(b, fid);
        appendLe32(b, id);
        for (const char* s : {"S", "D", "A"}) {
            b.insert(b.end(), s, s + 1);
            b.push_back(0);
        }
        appendLe32(b, id);
        appendLe32(b, 0);
        return mpsRecord('L', b);
    };
    auto frec = [](uint16_t pid, uint16_t fid, const std::string& name) {
        Bytes b;
        appendLe16(b, pid);
        appendLe16(b, fid);
        b.insert(b.end(), name.begin(), name.end());
        b.push_back(0);
        return mpsRecord('F', b);
    };
    Bytes mps;
    for (const Bytes& r : {lrec(1, 100, 1), lrec(1, 200, 2), frec(2, 200, "Druga"), frec(1, 100, "Pierwsza"),
                           frec(1, 200, "Druga jeden"), mpsRecord('V', {'v', 0, 0})})
        mps.insert(mps.end(), r.begin(), r.end());
    ImgLayout l;
    l.subfiles = {{"MAPSOURC", "MPS", mps, {}}, {"00000001", "TRE", tre(1), {}}, {"00000002", "TRE", tre(2), {}},
                  {"00000003", "TRE", tre(3), {}}};
    return buildImg(l);
}

TEST_F(Split, FamiliesGetTheirOwnContainers) {
    writeBytes(dir / "fam.img", twoFamilies());
    ClxResult r = runClx({"-G", "-o", "out", "fam.img"}, "C", dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Split file fam.img into mapsets.\n"), std::string::npos);
    EXPECT_NE(r.out.find("== Warning: not all maps were used.\n== Unused map 00000003 MPC.\n"), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(dir / "out"), (std::set<std::string>{"FAM_0100.img", "FAM_0200.img"}));
    for (const auto& [file, map, product, name] :
         {std::tuple{"FAM_0100.img", "00000001TRE", 1, std::string("Pierwsza")},
          std::tuple{"FAM_0200.img", "00000002TRE", 1, std::string("Druga jeden")}}) {
        Bytes bytes = readBytes(dir / "out" / file);
        VerifiedImg img;
        std::string error;
        ASSERT_TRUE(verifyImg(bytes, img, error)) << file << ": " << error;
        ASSERT_EQ(img.subfiles.size(), 2u) << file;
        EXPECT_EQ(img.subfiles[0].name + img.subfiles[0].type, map);
        EXPECT_EQ(img.description, name);
        Bytes mps = subfileBytes(bytes, img, "MAPSOURCMPS");
        // Its 'L' record, then 'V', 'P' and 'F' of the family with the lowest product.
        ASSERT_EQ(mps[0], 'L');
        std::size_t v = 3 + mps[1];
        ASSERT_EQ(mps[v], 'V');
        std::size_t p = v + 3 + mps[v + 1];
        ASSERT_EQ(mps[p], 'P');
        EXPECT_EQ(readLe16(mps, p + 3), product);
        std::size_t f = p + 13;
        ASSERT_EQ(mps[f], 'F');
        EXPECT_EQ(std::string(mps.begin() + f + 7, mps.begin() + f + 7 + name.size()), name);
        EXPECT_EQ(mps.size(), f + 3 + mps[f + 1]) << file;
    }
}

}  // namespace

namespace {

// An output that cannot be written whole is removed, so that a later run never
// takes a half file for a finished one; the run ends with exit code 4.
TEST(SplitFailures, PartialOutputsAreRemoved) {
    ScratchDir dir;
    fs::copy_file(testData("img/63240001.img"), dir / "a.img");
    fs::create_directory(dir / "g");
    ClxRun run{{"-g", "-o", "g", "a.img"}, "C", dir.path(), "", {}, 512};
    ClxResult r = runClx(run);
    EXPECT_EQ(r.exitCode, 4) << r.out;
    EXPECT_NE(r.out.find("Write error, file 63240001.TRE.\n"), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(dir / "g"), std::set<std::string>{"63240001.RGN"});

    fs::create_directory(dir / "s");
    run.args = {"-s", "-o", "s", "a.img"};
    run.fileSizeLimit = 4096;
    r = runClx(run);
    EXPECT_EQ(r.exitCode, 4) << r.out;
    EXPECT_TRUE(filesIn(dir / "s").empty());
}

}  // namespace
