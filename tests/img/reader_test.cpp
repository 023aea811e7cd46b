// The reader against containers built by the independent test-side builder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/input_file.h"
#include "common/message.h"
#include "common/options.h"
#include "common/file_ops.h"
#include "img/container.h"
#include "img/input_reader.h"
#include "img/map_grouping.h"
#include "img/mps.h"
#include "support/img_builder.h"
#include "support/run_clx.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes filled(std::size_t n, uint8_t v = 0x33) { return Bytes(n, v); }

// A TRE subfile with a header of `headerLength` bytes and an optional map ID.
Bytes tre(uint32_t mapId = 0, uint16_t headerLength = 188, std::size_t size = 400) {
    Bytes b = commonHeader("TRE", headerLength);
    b.resize(size, 0);
    if (headerLength > 119) putLe32(b, 0x74, mapId);
    for (uint32_t off : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) putLe32(b, off, headerLength);
    return b;
}

Bytes lbl(uint16_t codePage = 1250) {
    Bytes b = commonHeader("LBL", 0x1CA);
    b.resize(0x200, 0);
    putLe16(b, 0xAA, codePage);
    return b;
}

ImgSubfile sub(const std::string& name, const std::string& type, Bytes data) { return {name, type, std::move(data), {}}; }

class Reader : public ::testing::Test {
protected:
    ScratchDir dir;
    InputFile input;
    std::string out;

    void SetUp() override {
        resetOptions();
        useEnglish = true;
        warningCount = 0;
    }
    void TearDown() override { resetOptions(); }

    bool read(const Bytes& bytes, const std::string& name = "t.img") {
        input = InputFile{};
        input.path = (dir / name).string();
        writeBytes(input.path, bytes);
        testing::internal::CaptureStdout();
        bool ok = readInput(input);
        std::fflush(stdout);
        out = testing::internal::GetCapturedStdout();
        return ok;
    }

    std::vector<std::string> subfileNames() const {
        std::vector<std::string> names;
        for (const Subfile& s : input.subfiles) names.push_back(s.name);
        return names;
    }
};

ImgPlan emptyPlan(uint64_t fileSize = 4096) {
    ImgLayout l;
    l.spareEntries = 1;
    ImgPlan p = planImg(l);
    p.fileSize = fileSize;
    return p;
}

TEST_F(Reader, HeaderEntryOnlyGivesNoSubfiles) {
    ASSERT_TRUE(read(renderImg(emptyPlan()))) << out;
    EXPECT_EQ(input.status, 0);
    EXPECT_TRUE(input.subfiles.empty());
    EXPECT_TRUE(input.maps.empty());
    EXPECT_EQ(input.img.blockSize, 512u);
}

TEST_F(Reader, ContinuationFarAwayIsFound) {
    // A.RGN needs 241 blocks: its part 1 is moved behind B.RGN, or to the FAT's end.
    for (bool toEnd : {false, true}) {
        ImgLayout l;
        l.spareEntries = 4;
        l.subfiles = {sub("A", "RGN", filled(241 * 512)), sub("B", "RGN", filled(700, 0x44))};
        ImgPlan p = planImg(l);
        std::size_t part1 = findFatEntry(p, "A", "RGN", 1);
        moveFatEntry(p, part1, toEnd ? p.fatSlots - 1 : findFatEntry(p, "B", "RGN", 0));
        ASSERT_TRUE(read(renderImg(p))) << out;
        EXPECT_EQ(subfileNames(), (std::vector<std::string>{"A       RGN", "B       RGN"}));
        ASSERT_EQ(input.subfileIndex.size(), 2u);
        EXPECT_EQ(input.subfiles[0].size, 241u * 512);
        // The last byte of the far part comes through the moved entry.
        uint8_t b = 0;
        ASSERT_TRUE(openInput(input, "rb"));
        ASSERT_TRUE(readSubfileBytes(input, input.subfiles[0].firstFat, 241 * 512 - 1, 1, &b));
        EXPECT_EQ(b, 0x33);
        closeInput(input);
    }
}

TEST_F(Reader, InterleavedPartsOfTwoSubfiles) {
    ImgLayout l;
    l.subfiles = {sub("X", "TRE", tre(0, 188, 241 * 512)), sub("X", "RGN", filled(241 * 512, 0x55))};
    ImgPlan p = planImg(l);
    // FAT order: X.TRE 0, X.RGN 0, X.TRE 1, X.RGN 1.
    moveFatEntry(p, findFatEntry(p, "X", "RGN", 0), findFatEntry(p, "X", "TRE", 1));
    ASSERT_TRUE(read(renderImg(p))) << out;
    EXPECT_EQ(subfileNames(), (std::vector<std::string>{"X       TRE", "X       RGN"}));
    ASSERT_EQ(input.maps.size(), 1u);
    EXPECT_EQ(input.maps[0].subfileCount, 2u);
    std::vector<uint8_t> last(2);
    ASSERT_TRUE(openInput(input, "rb"));
    ASSERT_TRUE(readSubfileBytes(input, input.subfiles[1].firstFat, 241 * 512 - 2, 2, last.data()));
    EXPECT_EQ(last, (Bytes{0x55, 0x55}));
    closeInput(input);
}

TEST_F(Reader, WrongPartNumberIsRefused) {
    ImgLayout l;
    l.subfiles = {sub("X", "RGN", filled(241 * 512))};
    ImgPlan p = planImg(l);
    p.entries[findFatEntry(p, "X", "RGN", 1)].part = 2;
    EXPECT_FALSE(read(renderImg(p)));
    EXPECT_EQ(input.status, 4);
    EXPECT_EQ(out, "Wrong FAT for subfile X       RGN, file " + input.path + ".\n");
}

TEST_F(Reader, HighBytesSortAfterLetters) {
    ImgLayout l;
    l.subfiles = {sub("\xB3" "AB", "RGN", filled(10)), sub("ZZZ", "RGN", filled(10)), sub("AAA", "RGN", filled(10))};
    ASSERT_TRUE(read(buildImg(l))) << out;
    EXPECT_EQ(subfileNames(), (std::vector<std::string>{"AAA     RGN", "ZZZ     RGN", "\xB3" "AB     RGN"}));
    ASSERT_EQ(input.mapList.size(), 3u);
    // Map order follows the FAT.
    EXPECT_STREQ(input.maps[input.mapList[0]].name, "\xB3" "AB     ");
}

TEST_F(Reader, XorTwinReadsTheSame) {
    ImgLayout l;
    l.description = "Twins";
    l.subfiles = {sub("I0A2B3C4", "TRE", tre()), sub("I0A2B3C4", "RGN", filled(3000))};
    ASSERT_TRUE(read(buildImg(l))) << out;
    ImgHeader plain = input.img;
    l.xorByte = 0x5A;
    ASSERT_TRUE(read(buildImg(l))) << out;
    EXPECT_EQ(input.img.xorMask, 0x5A5A5A5Au);
    EXPECT_EQ(input.img.headerBytes.size(), plain.headerBytes.size());
    // Only the checksum byte differs, as it balances the stored bytes.
    plain.headerBytes[0x0F] = input.img.headerBytes[0x0F];
    EXPECT_EQ(plain.headerBytes, input.img.headerBytes);
    ASSERT_EQ(input.maps.size(), 1u);
    EXPECT_EQ(input.maps[0].mapId, 0x0A2B3C4u);
}

TEST_F(Reader, RecognitionAndFatStart) {
    ImgLayout l;
    l.subfiles = {sub("A", "RGN", filled(3000))};
    // 0x40 points nowhere useful: the header entry is found by searching.
    l.fatStartByte = 0;
    ASSERT_TRUE(read(buildImg(l))) << out;
    EXPECT_EQ(input.img.fatStart, 512u);
    l.fatStartSector = 3;
    l.fatStartByte = 1;
    ASSERT_TRUE(read(buildImg(l))) << out;
    EXPECT_EQ(input.img.fatStart, 1536u);

    // 'G' at 0x41 with the rest not "ARMIN": not a container.
    Bytes b = renderImg(emptyPlan());
    b[0x42] = 'X';
    EXPECT_FALSE(read(b));
    EXPECT_EQ(out, "Wrong header (DSKIMG GARMIN), file " + input.path + ".\n");
    EXPECT_EQ(input.status, 3);

    // Under 2048 bytes a file is never a container.
    ImgPlan small = emptyPlan(2047);
    EXPECT_FALSE(read(renderImg(small)));
    EXPECT_EQ(out, "Wrong header (DSKIMG GARMIN), file " + input.path + ".\n");
    // A short file is searched from its last whole sector down.
    small.fileSize = 3000;
    small.header[0x40] = 0;
    EXPECT_TRUE(read(renderImg(small))) << out;
}

TEST_F(Reader, BlockSizeAndHeaderLengthLimits) {
    ImgPlan p = emptyPlan();
    p.header[0x62] = 12;
    EXPECT_FALSE(read(renderImg(p)));
    EXPECT_EQ(out, "Wrong header (block size), file " + input.path + ".\n");
    p.header[0x62] = 11;
    EXPECT_TRUE(read(renderImg(p))) << out;
    EXPECT_EQ(input.img.blockSize, 1u << 20);

    ImgPlan q = emptyPlan();
    q.entries[0].size = 4097;
    EXPECT_FALSE(read(renderImg(q)));
    EXPECT_EQ(out, "Wrong header (fat size), file " + input.path + ".\n");
    q.entries[0].size = 4096;
    EXPECT_TRUE(read(renderImg(q))) << out;
}

TEST_F(Reader, FreeEntriesBeyondABlockAreTrimmed) {
    ImgLayout l;
    l.subfiles = {sub("A", "RGN", filled(10))};
    l.spareEntries = 1;
    ASSERT_TRUE(read(buildImg(l)));
    EXPECT_EQ(input.img.fatLength, input.img.headerLength);
    l.spareEntries = 3;
    ASSERT_TRUE(read(buildImg(l)));
    EXPECT_EQ(input.img.fatLength, input.img.firstEntry + 512);
    EXPECT_EQ(input.img.fatCount, 1u);
}

TEST_F(Reader, MapGrouping) {
    ImgLayout l;
    l.subfiles = {sub("M1", "TRE", tre()), sub("M1", "RGN", filled(10)), sub("M1", "LBL", lbl()),
                  sub("M1", "NET", filled(10)), sub("M1", "NOD", filled(10))};
    ASSERT_TRUE(read(buildImg(l))) << out;
    ASSERT_EQ(input.maps.size(), 1u);
    EXPECT_EQ(input.maps[0].kind, mpcMap);
    EXPECT_EQ(input.maps[0].subfileCount, 5u);
    EXPECT_EQ(input.maps[0].codePage, 1250u);
    EXPECT_EQ(input.maps[0].hasRouting, 1);
    EXPECT_EQ(input.maps[0].totalSize, 400u + 10 + 0x200 + 10 + 10);

    // A TYP of the same name between the members splits them.
    l.subfiles.insert(l.subfiles.begin() + 2, sub("M1", "TYP", filled(10)));
    ASSERT_TRUE(read(buildImg(l))) << out;
    ASSERT_EQ(input.maps.size(), 3u);
    EXPECT_EQ(input.maps[0].subfileCount, 2u);
    EXPECT_EQ(input.maps[1].kind, typData);
    EXPECT_EQ(input.maps[2].kind, mpcMap);
    EXPECT_EQ(input.maps[2].subfileCount, 3u);
    EXPECT_EQ(input.maps[2].dupIndex, 0u);
    EXPECT_EQ(input.mapList, (std::vector<int>{0, 1, 2}));
}

TEST_F(Reader, SortTablesJoinMapsAndIndexes) {
    ImgLayout l;
    l.subfiles = {sub("IDX", "SRT", filled(10)), sub("IDX", "MDR", filled(10)), sub("M", "SRT", filled(10)),
                  sub("M", "TRE", tre(77)), sub("M", "RGN", filled(10)), sub("M", "NOD", filled(10))};
    ASSERT_TRUE(read(buildImg(l))) << out;
    ASSERT_EQ(input.maps.size(), 2u);
    EXPECT_EQ(input.maps[0].kind, searchIndex);
    EXPECT_EQ(input.maps[0].subfileCount, 2u);
    EXPECT_EQ(input.maps[1].kind, mpcMap);
    EXPECT_EQ(input.maps[1].subfileCount, 4u);
    EXPECT_EQ(input.maps[1].mapId, 77u);
    EXPECT_EQ(input.maps[1].hasRouting, 1);
}

TEST_F(Reader, RepeatedTypesAndOtherData) {
    ImgLayout l;
    l.subfiles = {sub("M", "TRE", tre()), sub("M", "RGN", filled(10)), sub("M", "RGN", filled(10)),
                  sub("M", "LBL", lbl()), sub("Q", "ABC", filled(10)), sub("Q", "XYZ", filled(10))};
    ASSERT_TRUE(read(buildImg(l))) << out;
    ASSERT_EQ(input.maps.size(), 4u);
    EXPECT_EQ(input.maps[0].dupIndex, 0u);
    EXPECT_EQ(input.maps[1].dupIndex, 1u);
    EXPECT_EQ(input.maps[1].codePage, 1250u);
    EXPECT_EQ(input.maps[2].kind, otherData);
    EXPECT_STREQ(input.maps[2].ext, "ABC");
    EXPECT_STREQ(input.maps[3].ext, "XYZ");
}

TEST(MapIdsFromNames, HexadecimalAndDecimal) {
    EXPECT_EQ(mapIdFromName("I0A2B3C4"), 0x0A2B3C4u);
    EXPECT_EQ(mapIdFromName("12345678"), 12345678u);
    EXPECT_EQ(mapIdFromName("1234567A"), 0u);
    EXPECT_EQ(mapIdFromName("I5F5E0FF"), 99999999u);
    EXPECT_EQ(mapIdFromName("I5F5E100"), 0u);
    EXPECT_EQ(mapIdFromName("00000000"), 0u);
    EXPECT_EQ(mapIdFromName("-1234567"), 0u);
    EXPECT_EQ(mapIdFromName("I-123456"), 0u);
}

TEST_F(Reader, BadTypSignatureIsAWarning) {
    Bytes typ = commonHeader("TYP", 0x5B);
    typ[11] = 'X';  // "GARMIN TYX"
    typ.resize(200, 0);
    ImgLayout l;
    l.subfiles = {sub("T", "TYP", typ), sub("M", "TRE", tre())};
    ASSERT_TRUE(read(buildImg(l))) << out;
    EXPECT_EQ(out, "== Warning: Bad data in TYP subfile, file " + input.path + ".\n");
    EXPECT_EQ(warningCount, 1u);
    EXPECT_EQ(input.subfiles[1].type, typeOther);
    EXPECT_EQ(input.subfiles[1].bad, 1);
}

TEST_F(Reader, BadTreSignatureRejectsTheInput) {
    Bytes t = tre();
    t[2] = 'X';
    ImgLayout l;
    l.subfiles = {sub("M", "TRE", t)};
    EXPECT_FALSE(read(buildImg(l)));
    EXPECT_EQ(input.status, 4);
    EXPECT_EQ(out, "Bad data in TRE subfile, file " + input.path + ".\n");
}

// An 'L' record: product 1, family 2, map number, three texts, map ID, zero.
Bytes lRecord(uint32_t mapId, const std::string& texts = std::string("S\0D\0A\0", 6)) {
    Bytes body = {1, 0, 2, 0};
    appendLe32(body, 5);
    body.insert(body.end(), texts.begin(), texts.end());
    appendLe32(body, mapId);
    appendLe32(body, 0);
    return mpsRecord('L', body);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(Reader, CatalogueLinksByIdThenPosition) {
    ImgLayout l;
    l.subfiles = {
        sub("MAPSOURC", "MPS", concat({lRecord(1234), lRecord(300), lRecord(0x00ABCDEF), lRecord(0), lRecord(0)})),
        sub("00001234", "TRE", tre()),  // ID from the name
        sub("IABCDEF", "TRE", tre()),   // 7 characters: no ID from the name
        sub("P1", "TRE", tre(300)),
        sub("P2", "TRE", tre()),
    };
    ASSERT_TRUE(read(buildImg(l))) << out;
    auto mapNamed = [&](const char* n) -> const MapEntry& {
        for (const MapEntry& m : input.maps)
            if (std::strncmp(m.name, n, std::strlen(n)) == 0) return m;
        throw std::runtime_error(n);
    };
    EXPECT_EQ(mapNamed("00001234").mps, 0);
    EXPECT_EQ(mapNamed("00001234").mapId, 1234u);
    EXPECT_EQ(mapNamed("P1").mps, 1);
    // By position each TRE in FAT order takes the next record: IABCDEF gets
    // record 1, already P1's, so it stays without one; P1 passes record 2 by;
    // P2 takes record 3.
    EXPECT_EQ(mapNamed("IABCDEF").mps, -1);
    EXPECT_EQ(mapNamed("P2").mps, 3);
    EXPECT_EQ(mapNamed("P2").mapId, 0u);
    EXPECT_EQ(input.mpsRecords[2].used, 0);
    EXPECT_EQ(input.mpsRecords[4].used, 0);
}

TEST_F(Reader, CatalogueLinksByNameAndSkipsShortRecords) {
    for (const char* name : {"I00004D2", "00001234"}) {
        ImgLayout l;
        l.subfiles = {sub("MAPSOURC", "MPS", concat({mpsRecord('L', {1, 0, 2, 0}), lRecord(1234), mpsRecord('V', {})})),
                      sub(name, "TRE", tre(555))};
        ASSERT_TRUE(read(buildImg(l))) << out;
        ASSERT_EQ(input.mpsRecords.size(), 3u);
        EXPECT_EQ(input.mpsRecords[2].length, 3u);
        const Subfile& t = input.subfiles[0].type == typeTre ? input.subfiles[0] : input.subfiles[1];
        const MapEntry& m = input.maps[t.map];
        EXPECT_EQ(m.mps, 1) << name;
        EXPECT_EQ(m.mapId, 555u) << name;
        EXPECT_EQ(input.mpsRecords[0].used, 0) << name;
    }
}

TEST_F(Reader, CutCatalogueKeepsCompleteRecords) {
    Bytes cut = concat({lRecord(7), mpsRecord('F', {1, 0, 2, 0, 'x', 0})});
    cut.resize(cut.size() - 2);
    ImgLayout l;
    l.subfiles = {sub("MAPSOURC", "MPS", cut)};
    ASSERT_TRUE(read(buildImg(l))) << out;
    EXPECT_EQ(input.mpsRecords.size(), 1u);
    EXPECT_EQ(out, "");
    options.verbose = 1;
    ASSERT_TRUE(read(buildImg(l)));
    EXPECT_EQ(out, "Wrong MPS records size, file " + input.path + ".\n");
    l.subfiles[0].data = {'V', 9, 0};
    ASSERT_TRUE(read(buildImg(l)));
    EXPECT_EQ(out, "No MPS records, file " + input.path + ".\n");
}

TEST_F(Reader, CatalogueSpareBytes) {
    struct Row {
        uint8_t exponent;
        std::size_t length;
        uint32_t pad;
    };
    for (Row r : {Row{0, 100, 256}, Row{2, 100, 256}, Row{0, 512, 0}, Row{0, 400, 112}}) {
        ImgLayout l;
        l.blockExponent = r.exponent;
        Bytes mps = concat({lRecord(1)});
        mps.resize(r.length, 0);
        l.subfiles = {sub("MAPSOURC", "MPS", mps)};
        ASSERT_TRUE(read(buildImg(l))) << out;
        EXPECT_EQ(input.mpsPad, r.pad) << r.length << " in blocks of exponent " << int(r.exponent);
    }
    // A file that ends inside the catalogue's last block gives what it has.
    ImgLayout l;
    l.subfiles = {sub("A", "RGN", filled(3000)), sub("MAPSOURC", "MPS", concat({lRecord(1)}))};
    ImgPlan p = planImg(l);
    p.fileSize = imgNaturalSize(p) - 512 + l.subfiles[1].data.size() + 10;
    ASSERT_TRUE(read(renderImg(p))) << out;
    EXPECT_EQ(input.mpsLength, l.subfiles[1].data.size());
    EXPECT_EQ(input.mpsPad, 10u);
}

}  // namespace

namespace {

// In-place writes reach the subfile's own bytes through its blocks, and
// never the header, the FAT or anything beyond the file.
TEST_F(Reader, WritesGoThroughTheBlocksAndStayInside) {
    ImgLayout l;
    l.subfiles = {sub("A", "RGN", filled(1500, 0x11)), sub("B", "RGN", filled(600, 0x22))};
    l.xorByte = 0x5A;
    ASSERT_TRUE(read(buildImg(l))) << out;
    ASSERT_TRUE(openInput(input, "r+b"));
    Bytes data = {1, 2, 3, 4};
    // Across the boundary of A's second and third block.
    ASSERT_TRUE(writeSubfileBytes(input, input.subfiles[0].firstFat, 1022, 4, data.data()));
    EXPECT_EQ(data, (Bytes{1, 2, 3, 4}));
    Bytes back(6);
    ASSERT_TRUE(readSubfileBytes(input, input.subfiles[0].firstFat, 1021, 6, back.data()));
    EXPECT_EQ(back, (Bytes{0x11, 1, 2, 3, 4, 0x11}));
    // Beyond the subfile's length: refused before any byte is written.
    const std::string before = readFile(input.path);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(writeSubfileBytes(input, input.subfiles[1].firstFat, 598, 4, data.data()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Write structure error, file " + input.path + ".\n");
    // A FAT that points a block into the header area is refused too.
    std::uint8_t* raw = input.img.headerBytes.data() + input.img.fatEntries[input.subfiles[1].firstFat].offset;
    raw[0x20] = 0;
    raw[0x21] = 0;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(writeSubfileBytes(input, input.subfiles[1].firstFat, 0, 4, data.data()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Write structure error, file " + input.path + ".\n");
    closeInput(input);
    EXPECT_EQ(readFile(input.path).size(), before.size());
}

}  // namespace
