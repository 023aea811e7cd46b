// The join run from the command line on real and crafted inputs; every
// output goes through the independent verifier.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/img_verifier.h"
#include "support/run_clx.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kBanner = std::string("clx v") + CLX_VERSION + "\n\n";
const std::string kEpoch = "SOURCE_DATE_EPOCH=1700000000";  // 14.11.2023 22:13:20
const ImgVerifyOptions kForeign{false, false};

struct Joined {
    ClxResult run;
    Bytes file;
    VerifiedImg img;
};

class Join : public ::testing::Test {
protected:
    ScratchDir dir;

    void SetUp() override {
        for (const char* f : {"63240001.img", "63240002.img", "63240003.img", "gmapsupp.img", "test.typ"})
            fs::copy_file(testData(std::string("img/") + f), dir / f);
    }

    Joined join(std::vector<std::string> args, const std::string& out = "all.img") {
        Joined j;
        j.run = runClx(args, "C", dir.path(), "", {kEpoch});
        if (j.run.exitCode != 0) return j;
        j.file = readBytes(dir / out);
        std::string error;
        EXPECT_TRUE(verifyImg(j.file, j.img, error)) << error;
        return j;
    }

    // A subfile of an input file, as its own container holds it.
    Bytes inputSubfile(const std::string& file, const std::string& name) {
        Bytes bytes = readBytes(dir / file);
        VerifiedImg img;
        std::string error;
        EXPECT_TRUE(verifyImg(bytes, img, error, kForeign)) << error;
        return subfileBytes(bytes, img, name);
    }

    static std::vector<std::string> order(const VerifiedImg& img) {
        std::vector<std::string> names;
        for (const VerifiedSubfile& s : img.subfiles) names.push_back(s.fullName());
        return names;
    }
};

void add16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void add32(Bytes& b, uint32_t v) {
    add16(b, v & 0xFFFF);
    add16(b, v >> 16);
}
void addText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}
Bytes rec(char letter, const Bytes& body) {
    Bytes r = {static_cast<uint8_t>(letter)};
    add16(r, static_cast<uint32_t>(body.size()));
    r.insert(r.end(), body.begin(), body.end());
    return r;
}
Bytes mapRecord(uint32_t pid, uint32_t fid, uint32_t number, const std::string& series, const std::string& description,
                const std::string& area) {
    Bytes body;
    add16(body, pid);
    add16(body, fid);
    add32(body, number);
    addText(body, series);
    addText(body, description);
    addText(body, area);
    add32(body, number);
    add32(body, 0);
    return rec('L', body);
}

TEST_F(Join, RealFilesKeepEverySubfileInGroupOrder) {
    Joined j = join({"-j", "-o", "all.img", "63240003.img", "test.typ", "gmapsupp.img"});
    ASSERT_EQ(j.run.exitCode, 0) << j.run.out;
    EXPECT_EQ(j.run.out, kBanner +
                             "Writing: indexes\nWriting: data MD2\nWriting: data TRF\nWriting: data TYP\nWriting: data MMR\n"
                             "Writing: maps NT\nWriting: maps MPC\nWriting: data MAPSOURC.MPS\nWriting: header\n");
    const std::vector<std::string> tile = {"RGN", "TRE", "LBL", "NET", "NOD"};
    std::vector<std::string> expected = {"00007001.MDR", "00007001.SRT", "I0001B59.TYP", "TEST_TYP.TYP",
                                         "63240003.RGN", "63240003.TRE", "63240003.LBL", "63240003.DEM"};
    for (const char* map : {"63240001", "63240002"})
        for (const std::string& t : tile) expected.push_back(std::string(map) + "." + t);
    expected.push_back("MAPSOURC.MPS");
    EXPECT_EQ(order(j.img), expected);

    // Byte for byte as in the inputs.
    EXPECT_EQ(subfileBytes(j.file, j.img, "I0001B59TYP"), readBytes(dir / "test.typ"));
    EXPECT_EQ(subfileBytes(j.file, j.img, "00007001MDR"), inputSubfile("gmapsupp.img", "00007001MDR"));
    EXPECT_EQ(subfileBytes(j.file, j.img, "TEST_TYPTYP"), inputSubfile("gmapsupp.img", "TEST_TYPTYP"));
    for (const std::string& t : tile)
        EXPECT_EQ(subfileBytes(j.file, j.img, "63240002" + t), inputSubfile("gmapsupp.img", "63240002" + t)) << t;
    EXPECT_EQ(subfileBytes(j.file, j.img, "63240003DEM"), inputSubfile("63240003.img", "63240003DEM"));

    // The tile's map gets a new record, the gmapsupp's keep theirs.
    Bytes gmapsupp = inputSubfile("gmapsupp.img", "MAKEGMAPMPS");
    Bytes expectedMps = mapRecord(0, 0, 63240003, "Cartolux All", "Kafelek DEM", "Cartolux All");
    Bytes copied(gmapsupp.begin(), gmapsupp.begin() + 2 * (gmapsupp[1] + 3));  // its two 'L' records
    ASSERT_EQ(copied[0], 'L');
    ASSERT_EQ(copied[copied.size() / 2], 'L');
    expectedMps.insert(expectedMps.end(), copied.begin(), copied.end());
    Bytes v;
    addText(v, "Cartolux All");
    v.push_back(0);
    Bytes tail = rec('V', v);
    expectedMps.insert(expectedMps.end(), tail.begin(), tail.end());
    // The gmapsupp's 'F' record follows.
    Bytes f(gmapsupp.begin() + copied.size(), gmapsupp.end());
    ASSERT_EQ(f[0], 'F');
    f.resize(3 + f[1]);
    expectedMps.insert(expectedMps.end(), f.begin(), f.end());
    EXPECT_EQ(subfileBytes(j.file, j.img, "MAPSOURCMPS"), expectedMps);
    EXPECT_EQ(j.img.description, "Cartolux All");
    EXPECT_EQ(j.img.year, 2023);
    EXPECT_EQ(j.img.fatStart, 4096u);
}

TEST_F(Join, XorTwinGivesTheSameSubfiles) {
    std::string plain = readFile(dir / "63240001.img");
    std::string twin = plain;
    for (char& c : twin) c = static_cast<char>(c ^ 0x96);
    twin[0] = static_cast<char>(0x96);
    writeFile(dir / "twin.img", twin);
    Joined a = join({"-j", "-o", "a.img", "63240001.img"}, "a.img");
    Joined b = join({"-j", "-o", "b.img", "twin.img"}, "b.img");
    ASSERT_EQ(b.run.exitCode, 0) << b.run.out;
    EXPECT_EQ(a.file, b.file);
}

TEST_F(Join, OptionsShapeTheContainer) {
    // -x: no catalogue, input order, the name still in the header; -h: FAT at 1024.
    Joined x = join({"-j", "-x", "-h", "-m", "Moja mapa", "-o", "all.img", "63240001.img", "test.typ"});
    ASSERT_EQ(x.run.exitCode, 0) << x.run.out;
    EXPECT_EQ(x.run.out, kBanner + "Writing: other\nWriting: header\n");
    EXPECT_EQ(order(x.img), (std::vector<std::string>{"63240001.RGN", "63240001.TRE", "63240001.LBL", "63240001.NET",
                                                      "63240001.NOD", "I0001B59.TYP"}));
    EXPECT_EQ(x.img.description, "Moja mapa");
    EXPECT_EQ(x.img.fatStart, 1024u);

    // -q leaves DEM and NOD of ordinary maps out; -c sets the version and the flag byte.
    Joined q = join({"-j", "-q", "-c", "2.10,1", "-o", "all.img", "63240003.img", "63240001.img"});
    ASSERT_EQ(q.run.exitCode, 0) << q.run.out;
    for (const VerifiedSubfile& s : q.img.subfiles) {
        EXPECT_NE(s.type, "DEM");
        EXPECT_NE(s.type, "NOD");
    }
    EXPECT_EQ(q.img.subfiles.size(), 3u + 4u + 1u);
    EXPECT_EQ(q.file[0x08], 2);
    EXPECT_EQ(q.file[0x09], 10);
    EXPECT_EQ(q.file[0x0E], 1);

    // -f: the join's own 'P' and 'F'; the input's equal 'F' is dropped. -m is cut to 50.
    const std::string longName(60, 'n');
    Joined f = join({"-j", "-f", "7001", "-m", longName, "-o", "all.img", "gmapsupp.img"});
    ASSERT_EQ(f.run.exitCode, 0) << f.run.out;
    Bytes mps = subfileBytes(f.file, f.img, "MAPSOURCMPS");
    const std::string name(50, 'n');
    Bytes expectedTail;
    Bytes v;
    addText(v, name);
    v.push_back(0);
    Bytes p = {1, 0, 0x59, 0x1B, 0, 0, 0, 0, 0, 0};
    Bytes fam = {1, 0, 0x59, 0x1B};
    addText(fam, name);
    for (const Bytes& r : {rec('V', v), rec('P', p), rec('F', fam)}) expectedTail.insert(expectedTail.end(), r.begin(), r.end());
    ASSERT_GE(mps.size(), expectedTail.size());
    EXPECT_EQ(Bytes(mps.end() - expectedTail.size(), mps.end()), expectedTail);
    EXPECT_EQ(f.img.description, name);
}

TEST_F(Join, LargeBlocksArePaddedWithZeros) {
    Joined j = join({"-j", "-b", "1024", "-o", "all.img", "63240001.img"});
    ASSERT_EQ(j.run.exitCode, 0) << j.run.out;
    EXPECT_EQ(j.img.blockSize, 1u << 20);
    EXPECT_EQ(j.file.size(), 7u << 20);  // header, five subfiles and the catalogue
}

TEST_F(Join, ManyStandaloneMapsWithALongName) {
    // 60 stand-alone TRE files, each with a map ID: 60 new records of a 50-character name.
    for (int i = 0; i < 60; ++i) {
        Bytes tre = commonHeader("TRE", 188);
        tre.resize(300, 0);
        putLe32(tre, 0x74, 1000 + i);
        writeBytes(dir / ("m" + std::to_string(i) + ".tre"), tre);
    }
    std::vector<std::string> args = {"-j", "-m", std::string(50, 'x'), "-o", "all.img"};
    for (int i = 0; i < 60; ++i) args.push_back("m" + std::to_string(i) + ".tre");
    Joined j = join(args);
    ASSERT_EQ(j.run.exitCode, 0) << j.run.out;
    EXPECT_EQ(j.img.subfiles.size(), 61u);
    Bytes mps = subfileBytes(j.file, j.img, "MAPSOURCMPS");
    Bytes first = mapRecord(0, 0, 1000, std::string(50, 'x'), "m0      ", std::string(50, 'x'));
    ASSERT_GE(mps.size(), first.size() * 60);
    EXPECT_EQ(Bytes(mps.begin(), mps.begin() + first.size()), first);
    EXPECT_EQ(mps[first.size() * 59], 'L');
    EXPECT_EQ(mps[first.size() * 60], 'V');
}

TEST_F(Join, OutputNeverReplacesAnInput) {
    ASSERT_EQ(join({"-j", "-o", "all.img", "63240001.img"}).run.exitCode, 0);
    const std::string before = readFile(dir / "all.img");
    ClxResult r = runClx({"-j", "-o", "all.img", "63240001.img", "all.img"}, "C", dir.path(), "", {kEpoch});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.out.find("Output file is one of the input files, file all.img.\n"), std::string::npos) << r.out;
    EXPECT_EQ(readFile(dir / "all.img"), before);
    // Through another name of the same file too.
    fs::create_symlink(dir / "all.img", dir / "link.img");
    r = runClx({"-j", "-o", "link.img", "all.img"}, "C", dir.path(), "", {kEpoch});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(readFile(dir / "all.img"), before);
}

TEST_F(Join, FailuresEndWithExitCode4) {
    ClxResult r = runClx({"-j", "-o", "none/all.img", "63240001.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.out.find("Create output file error, file none/all.img.\n"), std::string::npos) << r.out;

    r = runClx({"-j", "-z", "-o", "all.img", "63240001.img"}, "C", dir.path());
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.out.find("Conversion to NT format wasn't done, map 63240001.\n\n"), std::string::npos) << r.out;

    // An existing output is replaced without asking.
    writeFile(dir / "all.img", "old");
    EXPECT_EQ(join({"-j", "-o", "all.img", "test.typ"}).run.exitCode, 0);
    EXPECT_GT(fs::file_size(dir / "all.img"), 3u);
}

TEST_F(Join, OtherDataWithA) {
    writeFile(dir / "notes.txt", "free text");
    Joined j = join({"-j", "-a", "-o", "all.img", "notes.txt", "test.typ"});
    ASSERT_EQ(j.run.exitCode, 0) << j.run.out;
    EXPECT_EQ(order(j.img), (std::vector<std::string>{"I0001B59.TYP", "notes.txt", "MAPSOURC.MPS"}));
    EXPECT_EQ(subfileBytes(j.file, j.img, "notes   txt"), (Bytes{'f', 'r', 'e', 'e', ' ', 't', 'e', 'x', 't'}));
}

}  // namespace

namespace {

TEST(JoinSizes, OneLargeTypWithAndWithoutShortHeader) {
    ScratchDir dir;
    Bytes typ = commonHeader("TYP", 0x9C);
    typ.resize(1000000, 0);
    writeBytes(dir / "big.typ", typ);
    ClxResult r = runClx({"-j", "-v", "-o", "all.img", "big.typ"}, "C", dir.path(), "", {kEpoch});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Size: block 2048, header 8192, file 1011712\n"), std::string::npos) << r.out;
    EXPECT_EQ(fs::file_size(dir / "all.img"), 1011712u);
    r = runClx({"-j", "-v", "-h", "-o", "all.img", "big.typ"}, "C", dir.path(), "", {kEpoch});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Size: block 1024, header 5120, file 1006592\n"), std::string::npos) << r.out;
    Bytes file = readBytes(dir / "all.img");
    VerifiedImg img;
    std::string error;
    ASSERT_TRUE(verifyImg(file, img, error)) << error;
    EXPECT_EQ(img.fatStart, 1024u);
    EXPECT_EQ(subfileBytes(file, img, "big     TYP"), typ);
}

}  // namespace

namespace {

// A GMP map: its own header, then TRE, RGN and LBL parts; NOD and DEM offsets
// only mark the parts as present.
Bytes gmpMap() {
    Bytes g = commonHeader("GMP", 0x31);
    g.resize(0x31, 0);
    const uint32_t tre = 0x31, rgn = tre + 188, lbl = rgn + 0x1D, net = lbl + 0x200;
    Bytes t = commonHeader("TRE", 188);
    t.resize(188, 0);
    putLe32(t, 0x74, 4242);
    Bytes r = commonHeader("RGN", 0x1D);
    Bytes l = commonHeader("LBL", 0x1CA);
    l.resize(0x200, 0);
    for (const Bytes* part : {&t, &r, &l}) g.insert(g.end(), part->begin(), part->end());
    g.resize(net + 64, 0);
    putLe32(g, 0x19, tre);
    putLe32(g, 0x1D, rgn);
    putLe32(g, 0x21, lbl);
    putLe32(g, 0x25, net);
    putLe32(g, 0x29, net + 16);
    putLe32(g, 0x2D, net + 32);
    return g;
}

TEST(JoinNtMaps, KeptWholeWithWarningsUnderQ) {
    ScratchDir dir;
    ImgLayout l;
    l.subfiles = {{"I0001092", "GMP", gmpMap(), {}}};
    writeBytes(dir / "nt.img", buildImg(l));
    ClxResult r = runClx({"-j", "-q", "-o", "all.img", "nt.img"}, "C", dir.path(), "", {kEpoch});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner +
                         "Writing: indexes\nWriting: data MD2\nWriting: data TRF\nWriting: data TYP\nWriting: data MMR\n"
                         "Writing: maps NT\n"
                         "==Warning: DEM data not removed from NT map I0001092.\n"
                         "==Warning: NOD data not removed from NT map I0001092.\n"
                         "Writing: maps MPC\nWriting: data MAPSOURC.MPS\nWriting: header\n"
                         "\nThere were warnings, result can be faulty.\n");
    Bytes file = readBytes(dir / "all.img");
    VerifiedImg img;
    std::string error;
    ASSERT_TRUE(verifyImg(file, img, error)) << error;
    EXPECT_EQ(subfileBytes(file, img, "I0001092GMP"), gmpMap());
    // Its new record carries the TRE part's map ID.
    Bytes mps = subfileBytes(file, img, "MAPSOURCMPS");
    ASSERT_EQ(mps[0], 'L');
    EXPECT_EQ(readLe32(mps, 7), 4242u);
}

}  // namespace
