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

TEST_F(Edit, LabelCaseAndTyp) {
    ClxResult r = clx({"-w", "-1", "-y", "100,1", "joined.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner + "TYP correction: file joined.img, FID 100, PID 1, CP 1250\n");
    std::vector<Range> allowed = {kChecksum, before.in("TEST_TYP.TYP", 0x2F, 4)};
    for (const char* map : {"63240001", "63240002", "63240003"}) allowed.push_back(before.whole(std::string(map) + ".LBL"));
    expectOnly(allowed);
    const Bytes lbl = readImg(dir / "joined.img")["63240001.LBL"];
    const std::string text(lbl.begin(), lbl.end());
    EXPECT_NE(text.find("Ulica \xA3\xF3" "dzka"), std::string::npos);  // "ulica Łódzka" in code page 1250
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
