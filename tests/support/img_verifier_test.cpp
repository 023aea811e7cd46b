// The verifier is the yardstick for every container clx writes, so it has to
// accept good containers from an independent producer (the test builder, and
// mkgmap's fixtures) and reject each fault a writer could make.
#include "support/img_verifier.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/img_builder.h"
#include "support/run_clx.h"

namespace {

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    // Never zero, so that a subfile's last byte is distinguishable from padding.
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(1 + (seed + i * 7 + i / 251) % 255);
    return v;
}

ImgLayout twoFiles() {
    ImgLayout l;
    l.description = "Test map";
    l.subfiles = {{"00000001", "TRE", pattern(700, 1), {}}, {"00000001", "RGN", pattern(100, 2), {}}};
    return l;
}

const ImgVerifyOptions kBuilderMade{false, true};  // the builder leaves geometry and 0x17 zero
const ImgVerifyOptions kForeign{false, false};

// Geometry of a container below 64 KiB, typed in from the layout rules rather
// than computed, so that the strict checks are tested against literal bytes:
// H = 16, T = 8, C = 0, 128 sectors.
void stampSmallGeometry(std::vector<uint8_t>& img) {
    ASSERT_LT(img.size(), 64u * 1024);
    img[0x17] = 2;
    putLe16(img, 0x18, 8);
    putLe16(img, 0x1A, 16);
    putLe16(img, 0x1C, 1);
    putLe16(img, 0x5D, 16);
    putLe16(img, 0x5F, 8);
    putLe16(img, 0x63, static_cast<uint16_t>(128 >> img[0x62]));
    img[0x1C0] = 1;
    img[0x1C3] = 15;
    img[0x1C4] = 8;
    img[0x1C5] = 0;
    putLe32(img, 0x1CA, 128);
    fixImgChecksum(img);
}

std::string verifyError(const std::vector<uint8_t>& img, const ImgVerifyOptions& o = kBuilderMade) {
    VerifiedImg v;
    std::string error;
    if (verifyImg(img, v, error, o)) return "accepted";
    EXPECT_FALSE(error.empty());
    return error;
}

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(ImgVerifier, AcceptsBuilderContainersAndReadsThemBack) {
    struct Case {
        const char* what;
        std::function<void(ImgLayout&)> tweak;
    };
    const std::vector<Case> cases = {
        {"two small subfiles", [](ImgLayout&) {}},
        {"2048-byte blocks", [](ImgLayout& l) { l.blockExponent = 2; }},
        {"FAT after a gap of two sectors", [](ImgLayout& l) { l.fatStartSector = 3; }},
        {"free FAT slots after the last entry", [](ImgLayout& l) { l.spareEntries = 5; }},
        {"header entry continued (over 240 header blocks)", [](ImgLayout& l) { l.spareEntries = 300; }},
        {"subfile of 241 blocks (two entries)",
         [](ImgLayout& l) {
             l.subfiles.push_back({"00000001", "LBL", pattern(240 * 512 + 1, 3), {}});
         }},
        {"subfile of exactly 240 blocks", [](ImgLayout& l) { l.subfiles[0].data = pattern(240 * 512, 4); }},
        {"empty subfile",
         [](ImgLayout& l) {
             l.subfiles.push_back({"00000001", "NET", {}, {}});
         }},
        {"subfile filling its last block", [](ImgLayout& l) { l.subfiles[1].data = pattern(1024, 5); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImgLayout l = twoFiles();
        c.tweak(l);
        const ImgPlan plan = planImg(l);
        const auto img = renderImg(plan);
        VerifiedImg v;
        std::string error;
        ASSERT_TRUE(verifyImg(img, v, error, kBuilderMade)) << error;
        EXPECT_EQ(v.blockSize, plan.blockSize);
        EXPECT_EQ(v.fatStart, plan.fatOffset);
        EXPECT_EQ(v.fatSlots, plan.fatSlots);
        EXPECT_EQ(v.headerLength, plan.fatOffset + plan.fatSlots * 512);
        EXPECT_EQ(uint64_t{v.totalBlocks} * v.blockSize, img.size());
        EXPECT_EQ(v.description, "Test map");
        ASSERT_EQ(v.subfiles.size(), l.subfiles.size());
        uint32_t next = v.headerBlocks;
        for (size_t i = 0; i < l.subfiles.size(); ++i) {
            const VerifiedSubfile& s = v.subfiles[i];
            EXPECT_EQ(s.fullName(), l.subfiles[i].name + "." + l.subfiles[i].type);
            EXPECT_EQ(s.size, l.subfiles[i].data.size());
            EXPECT_EQ(s.firstBlock, next);
            next += s.blockCount;
            EXPECT_EQ(subfileBytes(img, v, s.fullName()), l.subfiles[i].data) << s.fullName();
        }
        EXPECT_EQ(next, v.totalBlocks);
    }
}

TEST(ImgVerifier, ReportsTheLayoutOfASmallContainer) {
    // Header sector + 3 entries = 2048 bytes = blocks 0-3; TRE (700) in 4-5, RGN (100) in 6.
    const auto img = buildImg(twoFiles());
    VerifiedImg v;
    std::string error;
    ASSERT_TRUE(verifyImg(img, v, error, kBuilderMade)) << error;
    EXPECT_EQ(v.blockSize, 512u);
    EXPECT_EQ(v.fatStart, 512u);
    EXPECT_EQ(v.headerLength, 2048u);
    EXPECT_EQ(v.headerBlocks, 4u);
    EXPECT_EQ(v.usedEntries, 3u);
    EXPECT_EQ(v.totalBlocks, 7u);
    ASSERT_EQ(v.subfiles.size(), 2u);
    EXPECT_EQ(v.subfiles[0].name, "00000001");
    EXPECT_EQ(v.subfiles[0].type, "TRE");
    EXPECT_EQ(v.subfiles[0].firstBlock, 4u);
    EXPECT_EQ(v.subfiles[0].blockCount, 2u);
    EXPECT_EQ(v.subfiles[0].fatIndex, 1u);
    EXPECT_EQ(v.subfiles[1].firstBlock, 6u);
    EXPECT_EQ(v.subfiles[1].fatIndex, 2u);
    EXPECT_EQ(v.subfiles[1].entries, 1u);
    EXPECT_EQ(v.find("00000001RGN"), &v.subfiles[1]);
    EXPECT_EQ(v.find("00000001.RGN"), &v.subfiles[1]);
    EXPECT_EQ(v.find("00000001.LBL"), nullptr);
    EXPECT_THROW(subfileBytes(img, v, "00000001.LBL"), std::out_of_range);
}

TEST(ImgVerifier, ForeignModeRelaxesOnlyWholeFileProperties) {
    ImgLayout l = twoFiles();
    l.xorByte = 0x5A;
    const auto scrambled = buildImg(l);
    EXPECT_NE(verifyError(scrambled).find("XOR"), std::string::npos);
    VerifiedImg v;
    std::string error;
    ASSERT_TRUE(verifyImg(scrambled, v, error, kForeign)) << error;
    EXPECT_EQ(v.xorByte, 0x5A);
    EXPECT_EQ(v.description, "Test map");
    EXPECT_EQ(subfileBytes(scrambled, v, "00000001.TRE"), l.subfiles[0].data);

    auto unsummed = buildImg(twoFiles());
    ++unsummed[0x0F];
    EXPECT_EQ(verifyError(unsummed, kForeign), "accepted");

    ImgPlan spareBlock = planImg(twoFiles());
    spareBlock.fileSize = 8 * 512;
    EXPECT_EQ(verifyError(renderImg(spareBlock), kForeign), "accepted");

    // What is still checked: a short file and a broken FAT.
    ImgPlan cut = planImg(twoFiles());
    cut.fileSize = 6 * 512 + 99;
    EXPECT_NE(verifyError(renderImg(cut), kForeign).find("expected 7 blocks"), std::string::npos);
    ImgPlan reused = planImg(twoFiles());
    reused.entries[2].blocks = {5};
    EXPECT_NE(verifyError(renderImg(reused), kForeign).find("gaps or reuse"), std::string::npos);
}

TEST(ImgVerifier, RejectsLayoutFaults) {
    struct Fault {
        const char* what;
        std::function<std::vector<uint8_t>()> make;
        const char* expect;  // part of the message, so that the right check is known to have fired
    };
    const auto patched = [](ImgLayout l, std::function<void(std::vector<uint8_t>&)> f) {
        auto img = buildImg(l);
        f(img);
        fixImgChecksum(img);
        return img;
    };
    const auto planned = [](ImgLayout l, std::function<void(ImgPlan&)> f) {
        ImgPlan p = planImg(l);
        f(p);
        return renderImg(p);
    };
    ImgLayout spare = twoFiles();
    spare.spareEntries = 2;
    ImgLayout big = twoFiles();
    big.subfiles[1].data = pattern(241 * 512, 6);  // RGN in slots 2 and 3
    ImgLayout gap = twoFiles();
    gap.fatStartSector = 2;
    ImgLayout kb = twoFiles();
    kb.blockExponent = 1;
    kb.fatEntries = 4;  // header length 2560, header blocks end at 3072

    const std::vector<Fault> faults = {
        {"checksum off by one",
         [&] {
             auto img = buildImg(twoFiles());
             ++img[0x0F];
             return img;
         },
         "sum"},
        {"gap between two subfiles' blocks",
         [&] {
             return planned(twoFiles(), [](ImgPlan& p) {
                 auto& rgn = p.entries[findFatEntry(p, "00000001", "RGN", 0)];
                 p.blocks[7] = p.blocks[6];
                 p.blocks.erase(6);
                 rgn.blocks = {7};
             });
         },
         "gaps or reuse"},
        {"block used twice",
         [&] {
             return planned(twoFiles(), [](ImgPlan& p) {
                 p.entries[findFatEntry(p, "00000001", "RGN", 0)].blocks = {5};
                 p.blocks.erase(6);
             });
         },
         "gaps or reuse"},
        {"blocks of one subfile descending",
         [&] {
             return planned(twoFiles(), [](ImgPlan& p) {
                 p.entries[findFatEntry(p, "00000001", "TRE", 0)].blocks = {5, 4};
             });
         },
         "gaps or reuse"},
        {"subfiles' blocks not in FAT order",
         [&] {
             return planned(twoFiles(), [](ImgPlan& p) {
                 p.entries[findFatEntry(p, "00000001", "TRE", 0)].blocks = {5, 6};
                 p.entries[findFatEntry(p, "00000001", "RGN", 0)].blocks = {4};
             });
         },
         "gaps or reuse"},
        {"non-zero byte in a free FAT entry",
         [&] { return patched(spare, [](std::vector<uint8_t>& img) { img[512 + 4 * 512 + 0x30] = 1; }); },
         "after the last used entry"},
        {"used entry after a free slot",
         [&] { return planned(spare, [](ImgPlan& p) { moveFatEntry(p, findFatEntry(p, "00000001", "RGN", 0), 3); }); },
         "after the last used entry"},
        {"non-zero padding after a subfile",
         [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img[6 * 512 + 100] = 1; }); },
         "padding after 00000001.RGN"},
        {"non-zero last byte of the file",
         [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img.back() = 1; }); },
         "padding after 00000001.RGN"},
        {"non-zero padding between the FAT and the first data block",
         [&] { return patched(kb, [](std::vector<uint8_t>& img) { img[2600] = 1; }); }, "padding after the FAT"},
        {"non-zero byte between the header sector and the FAT",
         [&] { return patched(gap, [](std::vector<uint8_t>& img) { img[0x300] = 1; }); },
         "between the header sector and the FAT"},
        {"unused block slot not 0xFFFF",
         [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { putLe16(img, 3 * 512 + 0x22, 7); }); },
         "unused block slot"},
        {"reserved entry bytes not zero",
         [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img[2 * 512 + 0x15] = 1; }); },
         "reserved bytes"},
        {"subfile entry marked like the header entry",
         [&] { return planned(twoFiles(), [](ImgPlan& p) { p.entries[1].mark = 3; }); }, "mark"},
        {"continuation parts out of order", [&] { return planned(big, [](ImgPlan& p) { p.entries[3].part = 2; }); },
         "part 2"},
        {"continuation with a size", [&] { return planned(big, [](ImgPlan& p) { p.entries[3].size = 512; }); },
         "has a size"},
        {"continuation named after another subfile",
         [&] { return planned(big, [](ImgPlan& p) { p.entries[3].type = "LBL"; }); }, "expected part 1"},
        {"last part missing", [&] { return planned(big, [](ImgPlan& p) { p.entries.pop_back(); }); },
         "FAT ends before"},
        {"subfile starting with part 1", [&] { return planned(twoFiles(), [](ImgPlan& p) { p.entries[2].part = 1; }); },
         "starts with part 1"},
        {"header entry listing one block too many",
         [&] {
             ImgLayout l = spare;
             l.headerLength = 512 + 4 * 512;  // real area 512 + 5 entries
             return buildImg(l);
         },
         "unused block slot"},
        {"header length not on an entry boundary",
         [&] {
             ImgLayout l = twoFiles();
             l.headerLength = 2000;
             return buildImg(l);
         },
         "whole entry"},
        {"FAT start byte pointing at the wrong sector",
         [&] {
             ImgLayout l = gap;
             l.fatStartByte = 1;
             return buildImg(l);
         },
         "header entry"},
        {"extra block at the end", [&] { return planned(twoFiles(), [](ImgPlan& p) { p.fileSize = 8 * 512; }); },
         "expected 7 blocks"},
        {"last block cut short", [&] { return planned(twoFiles(), [](ImgPlan& p) { p.fileSize = 6 * 512 + 100; }); },
         "expected 7 blocks"},
        {"NUL padding in the description",
         [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img[0x49 + 8] = 0; }); },
         "NUL in the description at 0x51"},
        {"no DSKIMG signature", [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img[0x10] = 'd'; }); },
         "DSKIMG"},
        {"no GARMIN signature", [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img[0x46] = 'n'; }); },
         "GARMIN"},
        {"byte after the GARMIN signature set",
         [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img[0x48] = 1; }); }, "0x48"},
        {"first block exponent not 9",
         [&] {
             ImgLayout l = twoFiles();
             l.blockExponent1 = 10;
             return buildImg(l);
         },
         "0x61"},
        {"no boot signature", [&] { return patched(twoFiles(), [](std::vector<uint8_t>& img) { img[0x1FF] = 0; }); },
         "0x1FF"},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        const std::string error = verifyError(f.make());
        EXPECT_NE(error.find(f.expect), std::string::npos) << "error: " << error;
    }
}

TEST(ImgVerifier, StrictHeaderChecksEveryGeometryField) {
    for (uint8_t e : {0, 2}) {
        SCOPED_TRACE("block exponent " + std::to_string(e));
        ImgLayout l = twoFiles();
        l.blockExponent = e;
        auto good = buildImg(l);
        EXPECT_NE(verifyError(good, {}).find("0x17"), std::string::npos) << "builder output has no geometry";
        stampSmallGeometry(good);
        VerifiedImg v;
        std::string error;
        ASSERT_TRUE(verifyImg(good, v, error, {})) << error;
        EXPECT_EQ(v.heads, 16);
        EXPECT_EQ(v.sectorsPerTrack, 8);
        EXPECT_EQ(v.cylinders, 1);

        struct Field {
            size_t offset;
            int width;
        };
        for (const Field f :
             {Field{0x17, 1}, Field{0x18, 2}, Field{0x1A, 2}, Field{0x1C, 2}, Field{0x5D, 2}, Field{0x5F, 2},
              Field{0x63, 2}, Field{0x1C0, 1}, Field{0x1C3, 1}, Field{0x1C4, 1}, Field{0x1C5, 1}, Field{0x1CA, 4}}) {
            SCOPED_TRACE("field at " + std::to_string(f.offset));
            auto bad = good;
            // Change the high byte for wide fields, so that a reader looking at the low byte only fails.
            bad[f.offset + f.width - 1] ^= 0x01;
            fixImgChecksum(bad);
            EXPECT_NE(verifyError(bad, {}), "accepted");
            EXPECT_EQ(verifyError(bad), "accepted") << "geometry is not checked without strictHeader";
        }
        for (const auto& [offset, value] : std::vector<std::pair<size_t, uint8_t>>{{0x0A, 0},
                                                                                   {0x0A, 13},
                                                                                   {0x3B, 0},
                                                                                   {0x3B, 13},
                                                                                   {0x3C, 0},
                                                                                   {0x3C, 32},
                                                                                   {0x3D, 24},
                                                                                   {0x3E, 60},
                                                                                   {0x3F, 60}}) {
            auto bad = good;
            bad[offset] = value;
            fixImgChecksum(bad);
            EXPECT_NE(verifyError(bad, {}), "accepted") << "date byte " << offset << " = " << int(value);
        }
    }
}

TEST(ImgVerifier, GeometryFollowsTheFileSize) {
    struct Row {
        uint64_t size;
        uint16_t h, t;
        uint32_t c;
    };
    constexpr uint64_t MiB = 1024 * 1024;
    for (const Row r : {
             Row{7680, 16, 8, 0},
             Row{64 * 1024 - 512, 16, 8, 0},
             Row{64 * 1024, 16, 8, 1},      // 128 sectors fill cylinder 0
             Row{64 * 1024 + 1, 16, 8, 1},  // a partial sector still counts
             Row{16 * MiB - 512, 16, 8, 255},
             Row{16 * MiB, 16, 32, 64},
             Row{64 * MiB - 1, 16, 32, 256},  // rounds up to 131072 sectors
             Row{64 * MiB, 256, 32, 16},
             Row{1024 * MiB + 512, 256, 32, 256},
         }) {
        SCOPED_TRACE(r.size);
        const ImgGeometry g = expectedImgGeometry(r.size);
        EXPECT_EQ(g.heads, r.h);
        EXPECT_EQ(g.sectorsPerTrack, r.t);
        EXPECT_EQ(g.cylinder, r.c);
        EXPECT_EQ(g.partitionSectors, uint64_t{r.h} * r.t * (r.c + 1));
    }
    // The block count keeps the low 16 bits and says 0xFFFF when those are 0.
    const ImgGeometry g = expectedImgGeometry(65024ull * 512);  // C = 127: 16 * 32 * 128 = 65536 sectors
    EXPECT_EQ(g.partitionSectors, 65536u);
    EXPECT_EQ(expectedImgBlockCountField(g, 0), 0xFFFF);
    EXPECT_EQ(expectedImgBlockCountField(g, 1), 32768);
    EXPECT_EQ(expectedImgBlockCountField(expectedImgGeometry(64 * MiB), 0), static_cast<uint16_t>(256 * 32 * 17));
}

TEST(ImgVerifier, ReadsMkgmapFixturesWhenNotStrict) {
    // mkgmap keeps neither the byte sum nor this geometry, but its layout is
    // the same; the interoperability tests rely on reading its output.
    for (const char* name : {"63240001.img", "63240003.img", "gmapsupp.img", "sample.img", "mapset_mdr.img"}) {
        SCOPED_TRACE(name);
        const std::string raw = readFile(testData(std::string("img/") + name));
        ASSERT_FALSE(raw.empty());
        const auto img = bytes(raw);
        VerifiedImg v;
        std::string error;
        ASSERT_TRUE(verifyImg(img, v, error, kForeign)) << error;
        EXPECT_EQ(v.fatStart, 0x400u);
        EXPECT_EQ(v.blockSize, 512u);
        for (const VerifiedSubfile& s : v.subfiles) {
            // Every subfile starts with its own header naming its type.
            const auto b = subfileBytes(img, v, s.fullName());
            ASSERT_GE(b.size(), 12u) << s.fullName();
            if (s.type != "MPS") {
                EXPECT_EQ(std::string(b.begin() + 2, b.begin() + 12), "GARMIN " + s.type);
            }
        }
    }
    const auto tile = bytes(readFile(testData("img/63240001.img")));
    VerifiedImg v;
    std::string error;
    ASSERT_TRUE(verifyImg(tile, v, error, kForeign)) << error;
    EXPECT_EQ(v.description, "Kafelek 1");
    ASSERT_EQ(v.subfiles.size(), 5u);
    const std::vector<std::pair<std::string, uint32_t>> want = {{"63240001.RGN", 393},
                                                                {"63240001.TRE", 722},
                                                                {"63240001.LBL", 445},
                                                                {"63240001.NET", 185},
                                                                {"63240001.NOD", 512}};
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(v.subfiles[i].fullName(), want[i].first);
        EXPECT_EQ(v.subfiles[i].size, want[i].second);
    }
}
