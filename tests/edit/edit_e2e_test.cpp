// The in-place edits (-w) from the command line, proven by byte diffs: each
// edit of a container clx joined (its bytes sum to 0) may change only the
// bytes it means to write, keeps the length and keeps the sum.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/img_verifier.h"
#include "support/run_clx.h"

namespace fs = std::filesystem;

namespace {

struct Range {
    uint64_t from, to;  // [from, to)
};

// Where a subfile's bytes lie, and its part-0 FAT entry, by an independent
// reading of the layout (clx writes each subfile's blocks in one run).
struct Layout {
    Bytes file;
    VerifiedImg img;
    const VerifiedSubfile& sub(const std::string& fullName) const {
        for (const VerifiedSubfile& s : img.subfiles)
            if (s.fullName() == fullName) return s;
        throw std::out_of_range(fullName);
    }
    Range in(const std::string& fullName, uint64_t offset, uint64_t length) const {
        const uint64_t start = uint64_t{sub(fullName).firstBlock} * img.blockSize + offset;
        return {start, start + length};
    }
    Range whole(const std::string& fullName) const { return in(fullName, 0, sub(fullName).size); }
    // The FAT entries (name and size fields) of a subfile.
    std::vector<Range> fatNames(const std::string& name8, const std::string& type) const {
        std::vector<Range> r;
        for (uint64_t at = img.fatStart; at + 512 <= file.size(); at += 512)
            if (std::string(file.begin() + at + 1, file.begin() + at + 9) == name8 &&
                std::string(file.begin() + at + 9, file.begin() + at + 12) == type)
                r.push_back({at + 1, at + 16});
        return r;
    }
};

class Edit : public ::testing::Test {
protected:
    ScratchDir dir;
    Layout before;
    void SetUp() override {
        for (const char* f : {"gmapsupp.img", "63240003.img"}) fs::copy_file(testData(std::string("img/") + f), dir / f);
        ASSERT_EQ(runClx({"-j", "-o", "joined.img", "gmapsupp.img", "63240003.img"}, "C", dir.path()).exitCode, 0);
        before.file = readBytes(dir / "joined.img");
        std::string error;
        ASSERT_TRUE(verifyImg(before.file, before.img, error)) << error;
    }
    ClxResult clx(std::vector<std::string> args) { return runClx(args, "C", dir.path(), {"SOURCE_DATE_EPOCH=1700000000"}); }
    // Same length, byte sum still 0, and every changed byte inside `allowed`.
    void expectOnly(const std::vector<Range>& allowed, const std::string& file = "joined.img") {
        const Bytes after = readBytes(dir / file);
        ASSERT_EQ(after.size(), before.file.size());
        EXPECT_EQ(std::accumulate(after.begin(), after.end(), 0u) % 256, 0u);
        size_t changed = 0;
        for (size_t i = 0; i < after.size(); ++i) {
            if (after[i] == before.file[i]) continue;
            ++changed;
            bool ok = false;
            for (const Range& r : allowed) ok = ok || (i >= r.from && i < r.to);
            EXPECT_TRUE(ok) << "byte " << std::hex << i << " changed";
        }
        EXPECT_GT(changed, 0u);
    }
    std::vector<Range> treDisplay() {
        return {before.in("63240001.TRE", 0x3F, 7), before.in("63240002.TRE", 0x3F, 7), before.in("63240003.TRE", 0x3F, 7)};
    }
};

const Range kChecksum{0x0F, 0x10};

TEST_F(Edit, HeaderDateVersionAndName) {
    ClxResult r = clx({"-w", "-h", "-c", "2.5,1", "-m", "Nowa nazwa", "joined.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner +
                         "Refresh header date, file joined.img.\n"
                         "Header map version 2.05, Ms 1, file joined.img.\n"
                         "File joined.img write mapset name [Nowa nazwa] into MPS subfile.\n"
                         "File joined.img write mapset name [Nowa nazwa] into header.\n");
    std::vector<Range> allowed = {{0x08, 0x10}, {0x39, 0x40}, {0x49, 0x5D}, {0x65, 0x83}, before.whole("MAPSOURC.MPS")};
    for (Range f : before.fatNames("MAPSOURC", "MPS")) allowed.push_back(f);
    expectOnly(allowed);
    // The name shrank the catalogue by two bytes ("Cartolux All" was 12).
    EXPECT_EQ(readImg(dir / "joined.img").img.subfiles.back().size, before.sub("MAPSOURC.MPS").size - 2);
    // Asked again, the version changes nothing: no write, no line.
    const Bytes now = readBytes(dir / "joined.img");
    EXPECT_EQ(clx({"-w", "-c", "2.5,1", "joined.img"}).out, kBanner);
    EXPECT_EQ(readBytes(dir / "joined.img"), now);
}

TEST_F(Edit, PriorityTransparencyAndTheFilter) {
    ClxResult r = clx({"-w", "-v", "-p", "20", "-t", "joined.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("  Map 63240001 priority 20 T\n  Map 63240002 priority 20 T\n  Map 63240003 priority 20 T\n"),
              std::string::npos);
    std::vector<Range> allowed = treDisplay();
    allowed.push_back(kChecksum);
    expectOnly(allowed);
    // -f: a family no record has skips the file; 7001 takes the two maps of
    // that family and leaves the third (family 0).
    EXPECT_EQ(clx({"-w", "-f", "200", "-n", "joined.img"}).out, kBanner + "Write, FID mismatch, map skiped joined.img.\n");
    r = clx({"-w", "-v", "-f", "7001", "-n", "joined.img"});
    EXPECT_NE(r.out.find("  Map 63240002 priority 20 N\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("63240003"), std::string::npos) << r.out;
    // A TRE file of its own: the same bytes, at its own header.
    fs::create_directory(dir / "out");
    ASSERT_EQ(clx({"-g", "-o", "out", "63240003.img"}).exitCode, 0);
    const Bytes tre = readBytes(dir / "out/63240003.TRE");
    r = clx({"-w", "-v", "-p", "7", "out/63240003.TRE"});
    EXPECT_NE(r.out.find("  Map out/63240003.TRE priority  7 N\n"), std::string::npos) << r.out;
    Bytes expected = tre;
    expected[0x40] = 7;
    EXPECT_EQ(readBytes(dir / "out/63240003.TRE"), expected);
}

TEST_F(Edit, RenumberingEveryPlaceAMapIdLives) {
    fs::copy_file(dir / "joined.img", dir / "second.img");
    ClxResult r = clx({"-w", "-e", "100", "joined.img", "second.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::vector<Range> allowed = {kChecksum, before.whole("00007001.MDR"), before.whole("MAPSOURC.MPS")};
    for (const char* map : {"63240001", "63240002", "63240003"}) {
        for (const char* type : {"TRE", "RGN", "LBL", "NET", "NOD", "DEM"})
            for (Range f : before.fatNames(map, type)) allowed.push_back(f);
        allowed.push_back(before.in(std::string(map) + ".TRE", 0x74, 4));
    }
    expectOnly(allowed);
    expectOnly(allowed, "second.img");
    // The absolute numbers go on from file to file, names in the maps' own form.
    const Img first = readImg(dir / "joined.img"), second = readImg(dir / "second.img");
    EXPECT_EQ(readLe32(first["00000102.TRE"], 0x74), 102u);
    EXPECT_EQ(readLe32(second["00000103.TRE"], 0x74), 103u);
    const std::string listing = clx({"-i", "-v", "second.img"}).out;
    EXPECT_NE(listing.find("map 67, (103 0)"), std::string::npos) << listing;  // the catalogue's 'L' record

    // A closed pipe on standard output does not stop an edit between writes.
    fs::copy_file(dir / "second.img", dir / "piped.img");
    const std::string cmd = "cd '" + dir.path().string() + "' && '" CLX_BINARY "' -w -v -e 500 piped.img | head -1 >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(clx({"-w", "-v", "-e", "500", "second.img"}).exitCode, 0);
    EXPECT_EQ(readBytes(dir / "piped.img"), readBytes(dir / "second.img"));
}

// The map ID's places in crafted maps: TRE headers of 116, 118 and 120
// bytes, an index of another record size, and a catalogue whose mapset
// record, before the map records, grows and shrinks in the same run.
TEST_F(Edit, RenumberingCraftedMapsWithTheCatalogueMoving) {
    std::vector<ImgSubfile> subfiles;
    Bytes catalogue = recordV("Short");
    for (uint32_t length : {116u, 118u, 120u}) {
        Bytes tre = treSubfile(length);
        putLe16(tre, 0, length);
        const std::string name = length == 120 ? "I0000078" : "00000" + std::to_string(length);
        subfiles.push_back({name, "TRE", tre});
        catalogue = concat({catalogue, recordL(1, 7001, length, {"a", "b"}, length)});
    }
    Bytes mdr = commonHeader("MDR", 64);
    putLe32(mdr, 0x1D, 64), putLe32(mdr, 0x21, 16), putLe16(mdr, 0x25, 8);
    mdr.resize(80);
    subfiles.push_back({"00007001", "MDR", mdr});
    subfiles.push_back({"MAKEGMAP", "MPS", catalogue});
    const Bytes crafted = buildImg({.subfiles = subfiles});
    writeBytes(dir / "c.img", crafted);

    ClxResult r = clx({"-w", "-v", "-m", "A much longer mapset name", "-e", "100", "c.img"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("  FAT 00000116 -> 00000100\n  FAT 00000118 -> 00000101\n  TRE 00000076 -> 00000065\n"
                         "  FAT I0000078 -> I0000066\n  TRE 00000078 -> 00000066\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n== Warning: unknown structure of MDR subfile.\n== Subfile 00007001MDR.\n"), std::string::npos);
    // The renamed maps' files: only the 120-byte header holds the ID.
    Img img = readImg(dir / "c.img", {false, false});
    EXPECT_EQ(img["00000100.TRE"], subfiles[0].data);
    EXPECT_EQ(img["00000101.TRE"], subfiles[1].data);
    EXPECT_EQ(readLe32(img["I0000066.TRE"], 0x74), 0x66u);
    EXPECT_EQ(img["00007001.MDR"], mdr);
    // The map records, moved behind the grown mapset record, carry the new
    // IDs; shrinking back keeps them.
    for (const char* name : {"A much longer mapset name", "S"}) {
        if (name[0] == 'S') {
            ASSERT_EQ(clx({"-w", "-m", name, "c.img"}).exitCode, 0);
        }
        const Bytes mps = readImg(dir / "c.img", {false, false})["MAKEGMAP.MPS"];
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&mps[3])), name);
        std::vector<uint32_t> ids;
        for (size_t at = readLe16(mps, 1) + 3; at + 3 <= mps.size(); at += 3 + readLe16(mps, at + 1))
            ids.push_back(readLe32(mps, at + 3 + readLe16(mps, at + 1) - 8));
        EXPECT_EQ(ids, (std::vector<uint32_t>{100, 101, 102}));
    }
    // A separate index file cannot be renumbered: said, counted, untouched.
    Bytes md2(240);
    putLe32(md2, 0, 236);
    writeBytes(dir / "x.md2", md2);
    r = clx({"-w", "-e", "5", "x.md2"});
    EXPECT_NE(r.out.find("\n== Warning: changing MID in MD2 subfile is unsupported, file x.md2.\n== no changes made.\n\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("There were warnings"), std::string::npos);
    EXPECT_EQ(readBytes(dir / "x.md2"), md2);
}

// A container whose label data runs on into a block of its header area and
// whose index lies past its end: no edit may write there, grow the file or
// touch its header but for the fields it means to write.
TEST_F(Edit, HostileBlockListsAreRefused) {
    Bytes lbl = commonHeader("LBL", 0xBC);
    putLe32(lbl, 0x15, 0xBC);
    putLe32(lbl, 0x19, 1024 - 0xBC);
    lbl[0x1E] = 9;
    putLe16(lbl, 0xAA, 1252);
    putText(lbl, 0xBC, std::string(1024 - 0xBC, 'a'));
    ImgPlan plan = planImg({.subfiles = {{"00000042", "TRE", treSubfile(42)}, {"00000042", "LBL", lbl},
                                         {"00000042", "MDR", commonHeader("MDR", 100)}}});
    for (ImgFatEntry& e : plan.entries) {
        if (e.type == "LBL") e.blocks.back() = 0;
        if (e.type == "MDR") e.blocks = {0x7000};
    }
    const Bytes hostile = renderImg(plan);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string said;
    };
    for (const Case& c : {Case{{"-L"}, 4, "Write structure error, file h.img."}, Case{{"-e", "+5"}, 4, "Read error"},
                          Case{{"-p", "3", "-t"}, 0, ""}, Case{{"-h", "-m", "x"}, 0, ""}}) {
        writeBytes(dir / "h.img", hostile);
        std::vector<std::string> args = {"-w"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("h.img");
        ClxResult r = clx(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
        EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
        const Bytes after = readBytes(dir / "h.img");
        ASSERT_EQ(after.size(), hostile.size()) << c.args[0];
        const bool header = c.args[0] == "-h";
        for (size_t i = 0; i < plan.blockSize; ++i)  // the header sector: only its own fields
            EXPECT_TRUE(after[i] == hostile[i] || i == 0x0F || (header && i >= 0x08 && i < 0x83)) << c.args[0] << " " << i;
        if (c.exitCode) {
            EXPECT_EQ(std::vector<uint8_t>(after.begin() + 0x10, after.end()),
                      std::vector<uint8_t>(hostile.begin() + 0x10, hostile.end()));
        }
    }
}

}  // namespace
