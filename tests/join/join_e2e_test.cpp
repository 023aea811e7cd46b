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

using Names = std::vector<std::string>;

const std::string kEpoch = "SOURCE_DATE_EPOCH=1700000000";  // 14.11.2023 22:13:20
const std::string kGroups = "Writing: indexes\nWriting: data MD2\nWriting: data TRF\nWriting: data TYP\n"
                            "Writing: data MMR\nWriting: maps NT\n";
const std::string kLastGroups = "Writing: maps MPC\nWriting: data MAPSOURC.MPS\nWriting: header\n";

class Join : public ::testing::Test {
protected:
    ScratchDir dir;
    ClxResult run;

    void SetUp() override {
        for (const char* f : {"63240001.img", "63240003.img", "gmapsupp.img", "test.typ"})
            fs::copy_file(testData(std::string("img/") + f), dir / f);
    }
    // Runs clx; on success all.img, verified.
    Img join(const Names& args) {
        run = runClx(args, "C", dir.path(), {kEpoch});
        EXPECT_EQ(run.exitCode, 0) << run.out;
        return run.exitCode == 0 ? readImg(dir / "all.img") : Img{};
    }
};

TEST_F(Join, RealFilesKeepEverySubfileInGroupOrder) {
    const Img j = join({"-j", "-o", "all.img", "63240003.img", "test.typ", "gmapsupp.img"});
    EXPECT_EQ(run.out, kBanner + kGroups + kLastGroups);
    Names expected = {"00007001.MDR", "00007001.SRT", "I0001B59.TYP", "TEST_TYP.TYP",
                      "63240003.RGN", "63240003.TRE", "63240003.LBL", "63240003.DEM"};
    for (const char* map : {"63240001", "63240002"})
        for (const char* t : {"RGN", "TRE", "LBL", "NET", "NOD"}) expected.push_back(std::string(map) + "." + t);
    expected.push_back("MAPSOURC.MPS");
    EXPECT_EQ(j.order(), expected);

    // Byte for byte as in the inputs; only the catalogue is new.
    EXPECT_EQ(j["I0001B59TYP"], readBytes(dir / "test.typ"));
    for (const char* input : {"63240003.img", "gmapsupp.img"}) {
        const Img in = readImg(dir / input, {false, false});
        for (const VerifiedSubfile& s : in.img.subfiles)
            EXPECT_TRUE(s.type == "MPS" || j[s.name + s.type] == in[s.name + s.type]) << s.fullName();
    }
    // The tile's map gets a new record, the gmapsupp's keep theirs, then the mapset name and their family.
    EXPECT_EQ(j["MAPSOURCMPS"],
              concat({recordL(0, 0, 63240003, {"Cartolux All", "Kafelek DEM", "Cartolux All"}, 63240003),
                      recordL(1, 7001, 63240001, {"Seria testowa", "Kafelek 1", "Okolice testowe"}, 63240001),
                      recordL(1, 7001, 63240002, {"Seria testowa", "Kafelek 2", "Okolice testowe"}, 63240002),
                      recordV("Cartolux All"), recordF(1, 7001, "Rodzina testowa")}));
    EXPECT_EQ(j.img.description, "Cartolux All");
    EXPECT_EQ(j.img.year, 2023);
    EXPECT_EQ(j.img.fatStart, 4096u);
}

TEST_F(Join, OptionsShapeTheContainer) {
    // -x: no catalogue, input order, the name still in the header; -h: FAT at 1024.
    const Img x = join({"-j", "-x", "-h", "-m", "Moja mapa", "-o", "all.img", "63240001.img", "test.typ"});
    EXPECT_EQ(run.out, kBanner + "Writing: other\nWriting: header\n");
    EXPECT_EQ(x.order(),
              (Names{"63240001.RGN", "63240001.TRE", "63240001.LBL", "63240001.NET", "63240001.NOD", "I0001B59.TYP"}));
    EXPECT_EQ(x.img.description, "Moja mapa");
    EXPECT_EQ(x.img.fatStart, 1024u);

    // -q leaves DEM and NOD of ordinary maps out; -c sets the version and the flag byte.
    const Img q = join({"-j", "-q", "-c", "2.10,1", "-o", "all.img", "63240003.img", "63240001.img"});
    EXPECT_EQ(q.order(), (Names{"63240003.RGN", "63240003.TRE", "63240003.LBL", "63240001.RGN", "63240001.TRE",
                                "63240001.LBL", "63240001.NET", "MAPSOURC.MPS"}));
    EXPECT_EQ((Bytes{q.file[0x08], q.file[0x09], q.file[0x0E]}), (Bytes{2, 10, 1}));

    // -f: the join's own 'P' and 'F'; the input's equal 'F' is dropped. -m is cut to 50.
    const std::string name(50, 'n');
    const Img f = join({"-j", "-f", "7001", "-m", name + "cut", "-o", "all.img", "gmapsupp.img"});
    const Bytes mps = f["MAPSOURCMPS"];
    const Bytes tail =
        concat({recordV(name), mpsRecord('P', {1, 0, 0x59, 0x1B, 0, 0, 0, 0, 0, 0}), recordF(1, 7001, name)});
    ASSERT_GE(mps.size(), tail.size());
    EXPECT_EQ(Bytes(mps.end() - tail.size(), mps.end()), tail);
    EXPECT_EQ(f.img.description, name);

    // -a: other data after the data groups; -b 1024: blocks of 1 MiB, the last one padded out.
    writeFile(dir / "notes.txt", "free text");
    const Img a = join({"-j", "-a", "-o", "all.img", "notes.txt", "test.typ"});
    EXPECT_EQ(a.order(), (Names{"I0001B59.TYP", "notes.txt", "MAPSOURC.MPS"}));
    EXPECT_EQ(a["notes   txt"], (Bytes{'f', 'r', 'e', 'e', ' ', 't', 'e', 'x', 't'}));
    const Img b = join({"-j", "-b", "1024", "-o", "all.img", "63240001.img"});
    EXPECT_EQ(b.img.blockSize, 1u << 20);
    EXPECT_EQ(b.file.size(), 7u << 20);  // header, five subfiles and the catalogue
}

// Failures end with exit code 4; an output that is an input, under its own
// name or another, is never touched. Any other existing output is replaced.
TEST_F(Join, FailuresAndOutputsThatAreInputs) {
    writeFile(dir / "all.img", "old");
    join({"-j", "-o", "all.img", "63240001.img"});
    const std::string before = readFile(dir / "all.img");
    fs::create_symlink(dir / "all.img", dir / "link.img");
    Bytes tre = commonHeader("TRE", 212);  // longer than the GMP form knows
    tre.resize(300, 0);
    writeBytes(dir / "tre212.img", buildImg({.subfiles = {{"00000077", "TRE", tre}}}));
    const std::pair<Names, std::string> failures[] = {
        {{"-j", "-z", "-o", "z.img", "tre212.img"},
         "Unknown TRE header format.\nConversion to NT format wasn't done, map 00000077.\n\n"},
        {{"-j", "-o", "all.img", "63240001.img", "all.img"}, "Output file is one of the input files, file all.img.\n"},
        {{"-j", "-o", "link.img", "all.img"}, "Output file is one of the input files, file link.img.\n"},
    };
    for (const auto& [args, message] : failures) {
        const ClxResult r = runClx(args, "C", dir.path(), {kEpoch});
        EXPECT_EQ(r.exitCode, 4) << args[2];
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    }
    EXPECT_EQ(readFile(dir / "all.img"), before);
}

// A GMP map: its own header, then TRE, RGN and LBL parts; NOD and DEM offsets
// only mark the parts as present.
Bytes gmpMap() {
    const uint32_t tre = 0x31, rgn = tre + 188, lbl = rgn + 0x1D, net = lbl + 0x200;
    Bytes g = concat(
        {commonHeader("GMP", 0x31), treSubfile(4242, 188), commonHeader("RGN", 0x1D), commonHeader("LBL", 0x1CA)});
    g.resize(net + 64, 0);
    const uint32_t parts[] = {tre, rgn, lbl, net, net + 16, net + 32};  // TRE RGN LBL NET NOD DEM
    for (int i = 0; i < 6; ++i) putLe32(g, 0x19 + 4 * i, parts[i]);
    return g;
}

TEST_F(Join, NtMapKeptWholeWithWarningsUnderQ) {
    const ImgLayout l{.description = std::string("Abc\0xyz", 7), .subfiles = {{"I0001092", "GMP", gmpMap()}}};
    writeBytes(dir / "nt.img", buildImg(l));
    const Img j = join({"-j", "-q", "-o", "all.img", "nt.img"});
    EXPECT_EQ(run.out, kBanner + kGroups +
                           "==Warning: DEM data not removed from NT map I0001092.\n"
                           "==Warning: NOD data not removed from NT map I0001092.\n" +
                           kLastGroups + "\nThere were warnings, result can be faulty.\n");
    EXPECT_EQ(j["I0001092GMP"], gmpMap());
    // Its new record carries the TRE part's map ID and the description up to its inner NUL, as a reader ends it.
    EXPECT_EQ(j["MAPSOURCMPS"],
              concat({recordL(0, 0, 4242, {"Cartolux All", "Abc", "Cartolux All"}, 4242), recordV("Cartolux All")}));
}

}  // namespace
