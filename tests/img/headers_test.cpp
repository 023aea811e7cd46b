#include "img/headers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container.h"
#include "img/map_units.h"
#include "support/run_clx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The common header: length, signature, and the rest left zero.
Bytes subfileBytes(std::size_t total, std::uint16_t headerLength, const char* signature) {
    Bytes b(total, 0);
    if (total >= 2) putU16(b.data(), headerLength);
    if (signature && total >= 12) std::memcpy(b.data() + 2, signature, 10);
    return b;
}

// A TRE header at `at` whose sections all start at `sections`; two levels
// there, the first inherited.
void putTre(Bytes& b, std::size_t at, std::uint16_t headerLength, std::uint32_t sections) {
    putU16(b.data() + at, headerLength);
    std::memcpy(b.data() + at + 2, "GARMIN TRE", 10);
    for (std::uint32_t off : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) putU32(b.data() + at + off, sections);
    putU32(b.data() + at + 0x25, 8);
    putU32(b.data() + at + 0x74, 0x01234567);
    if (sections + 8 <= b.size()) {
        const std::uint8_t levels[] = {0x81, 24, 1, 0, 0x00, 22, 4, 0};
        std::memcpy(b.data() + sections, levels, sizeof levels);
    }
}

Bytes treBytes(std::uint16_t headerLength, std::size_t total = 0x400, std::uint32_t sections = 0x300) {
    Bytes b(total, 0);
    putTre(b, 0, headerLength, sections);
    return b;
}

class HeaderReaders : public ::testing::Test {
protected:
    ScratchDir dir;
    InputFile input;
    int files = 0;

    void SetUp() override { useEnglish = true; }
    void TearDown() override { useEnglish = true; }

    // A single-subfile input holding `bytes`, opened for the readers.
    void load(SubfileType type, const Bytes& bytes, std::uint8_t kind = 11) {
        input = InputFile{};
        input.path = (dir / ("in" + std::to_string(files++) + ".bin")).string();
        writeFile(input.path, std::string(bytes.begin(), bytes.end()));
        input.inputKind = kind;
        input.detectedType = type;
        input.size = bytes.size();
        input.rawLength = static_cast<std::uint32_t>(bytes.size());
        input.single.type = type;
        input.single.size = static_cast<std::uint32_t>(bytes.size());
        std::memcpy(input.single.name, "INPUT   XXX", 11);
        ASSERT_TRUE(openInput(input, "rb"));
    }

    // Runs a reader and returns what it printed.
    std::string run(bool (*reader)(InputFile&, Subfile&), bool& ok) {
        testing::internal::CaptureStdout();
        ok = reader(input, input.single);
        return testing::internal::GetCapturedStdout();
    }

    std::string run(bool (*reader)(InputFile&, Subfile&)) {
        bool ok = false;
        std::string out = run(reader, ok);
        EXPECT_TRUE(ok) << out;
        return out;
    }
};

// ---- TRE ----

TEST_F(HeaderReaders, TreHeaderLengthDecidesRecordAndMapId) {
    struct Row {
        std::uint16_t length;
        bool record;
        std::uint32_t mapId;
    };
    for (Row r : {Row{115, false, 0}, Row{116, true, 0}, Row{119, true, 0}, Row{120, true, 0x01234567}}) {
        load(typeTre, treBytes(r.length));
        EXPECT_EQ(run(readTreInfo), "") << r.length;
        ASSERT_EQ(input.single.tre.has_value(), r.record) << r.length;
        if (!r.record) continue;
        const TreInfo& t = *input.single.tre;
        EXPECT_EQ(t.mapId, r.mapId) << r.length;
        EXPECT_EQ(t.headerRead, 512u);
        EXPECT_EQ(t.header.size(), 512u);
        EXPECT_EQ(t.headerOffset, 0u);
        EXPECT_EQ(t.subfileSize, 0x400u);
        EXPECT_EQ(t.levelsOffset, 0x300u);
        EXPECT_EQ(t.levels, (Bytes{0x81, 24, 1, 0, 0x00, 22, 4, 0}));
        EXPECT_EQ(t.firstRealLevelBits, 22);
        EXPECT_EQ(t.hasDem + t.hasRouting, 0);
    }
}

TEST_F(HeaderReaders, TreLevelsOversizeOrOutsideGiveNoRecord) {
    struct Row {
        std::uint32_t offset, size;
        bool record;
    };
    for (Row r : {Row{0x300, 128, true}, Row{0x300, 132, false}, Row{0x3F8, 8, true}, Row{0x3F9, 8, false},
                  Row{0x400, 0, true}, Row{0xFFFFFFF8, 16, false}, Row{0x401, 0, false}}) {
        Bytes b = treBytes(120);
        putU32(b.data() + 0x21, r.offset);
        putU32(b.data() + 0x25, r.size);
        load(typeTre, b);
        EXPECT_EQ(run(readTreInfo), "");
        ASSERT_EQ(input.single.tre.has_value(), r.record) << r.offset << " " << r.size;
        if (r.record) {
            EXPECT_EQ(input.single.tre->levels.size(), r.size);
        }
    }
}

TEST_F(HeaderReaders, TreDataStartIsTheSmallestSectionOffset) {
    load(typeTre, treBytes(120));
    run(readTreInfo);
    ASSERT_TRUE(input.single.tre);
    EXPECT_EQ(input.single.tre->dataStart, 512u);  // every section beyond the header read
    for (std::uint32_t at : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) {
        Bytes b = treBytes(120);
        putU32(b.data() + at, 0x90);
        if (at == 0x21) putU32(b.data() + 0x25, 0);  // levels still readable
        load(typeTre, b);
        run(readTreInfo);
        ASSERT_TRUE(input.single.tre) << at;
        EXPECT_EQ(input.single.tre->dataStart, 0x90u) << at;
    }
    Bytes zero = treBytes(120);
    putU32(zero.data() + 0x58, 0);
    load(typeTre, zero);
    run(readTreInfo);
    ASSERT_TRUE(input.single.tre);
    EXPECT_EQ(input.single.tre->dataStart, 0u);
}

TEST_F(HeaderReaders, TreFirstRealLevelSkipsInheritedLevels) {
    struct Row {
        Bytes levels;
        std::uint8_t bits;
    };
    for (const Row& r : {Row{{0x83, 24, 1, 0, 0x82, 23, 1, 0, 0x01, 21, 1, 0, 0x00, 18, 1, 0}, 21},
                         Row{{0x81, 24, 1, 0, 0x80, 23, 1, 0}, 0}, Row{{}, 0}, Row{{0x05, 17, 0, 0}, 17}}) {
        Bytes b = treBytes(120);
        putU32(b.data() + 0x25, static_cast<std::uint32_t>(r.levels.size()));
        std::fill(b.begin() + 0x300, b.begin() + 0x310, 0);
        std::copy(r.levels.begin(), r.levels.end(), b.begin() + 0x300);
        load(typeTre, b);
        run(readTreInfo);
        ASSERT_TRUE(input.single.tre);
        EXPECT_EQ(input.single.tre->firstRealLevelBits, r.bits) << r.levels.size();
    }
}

TEST_F(HeaderReaders, TreClippedToTheSubfile) {
    // 300 bytes: everything that is there is read.
    Bytes b = treBytes(120, 300, 0x100);
    load(typeTre, b);
    run(readTreInfo);
    ASSERT_TRUE(input.single.tre);
    EXPECT_EQ(input.single.tre->headerRead, 300u);
    EXPECT_EQ(input.single.tre->dataStart, 0x100u);
    // Fewer than 120 bytes: no record, and the signature is not even looked at.
    for (const char* sig : {"GARMIN TRE", "GARMIN XXX"}) {
        Bytes s = subfileBytes(119, 120, sig);
        load(typeTre, s);
        EXPECT_EQ(run(readTreInfo), "");
        EXPECT_FALSE(input.single.tre);
    }
}

TEST_F(HeaderReaders, TreWrongSignatureRejects) {
    Bytes b = treBytes(120);
    b[11] = 'X';
    load(typeTre, b);
    bool ok = true;
    EXPECT_EQ(run(readTreInfo, ok), "Bad data in TRE subfile, file " + input.path + ".\n");
    EXPECT_FALSE(ok);
    EXPECT_FALSE(input.single.tre);
    useEnglish = false;
    EXPECT_EQ(run(readTreInfo, ok), "Złe dane podzbioru TRE, plik " + input.path + "\n");
    EXPECT_FALSE(ok);
}

// ---- GMP ----

// A GMP with TRE, RGN, LBL, NET parts; NOD and DEM offsets as given.
Bytes gmpBytes(std::uint32_t tre, std::uint32_t rgn, std::uint32_t lbl, std::uint32_t net, std::uint32_t nod,
               std::uint32_t dem, std::size_t total = 0x800) {
    Bytes b = subfileBytes(total, 0x31, "GARMIN GMP");
    const std::uint32_t parts[] = {tre, rgn, lbl, net, nod, dem};
    for (int i = 0; i < 6; ++i) putU32(b.data() + 0x19 + 4 * i, parts[i]);
    return b;
}

TEST_F(HeaderReaders, GmpTrePartClippedByRgnAndFlagsFromPartOffsets) {
    Bytes b = gmpBytes(0x100, 0x180, 0x200, 0x500, 0, 0x600);
    putTre(b, 0x100, 120, 0x700);  // sections count from the GMP's start
    putU32(b.data() + 0x100 + 0x31, 0x40);  // below the header: ignored inside a GMP
    load(typeGmp, b);
    run(readTreInfo);
    ASSERT_TRUE(input.single.gmpParts);
    EXPECT_EQ(*input.single.gmpParts, (std::array<std::uint32_t, gmpPartCount>{0x100, 0x180, 0x200, 0x500, 0, 0x600}));
    ASSERT_TRUE(input.single.tre);
    const TreInfo& t = *input.single.tre;
    EXPECT_EQ(t.headerOffset, 0x100u);
    EXPECT_EQ(t.headerRead, 0x80u);
    EXPECT_EQ(t.dataStart, 0x80u);
    EXPECT_EQ(t.mapId, 0x01234567u);
    EXPECT_EQ(t.levels, (Bytes{0x81, 24, 1, 0, 0x00, 22, 4, 0}));
    EXPECT_EQ(t.hasDem, 1);
    EXPECT_EQ(t.hasRouting, 0);

    // NOD but no DEM.
    putU32(b.data() + 0x29, 0x580);
    putU32(b.data() + 0x2D, 0);
    load(typeGmp, b);
    run(readTreInfo);
    ASSERT_TRUE(input.single.tre);
    EXPECT_EQ(input.single.tre->hasDem, 0);
    EXPECT_EQ(input.single.tre->hasRouting, 1);

    // RGN stored before TRE does not limit it; RGN less than 120 bytes after it leaves no room.
    putU32(b.data() + 0x1D, 0x80);
    load(typeGmp, b);
    run(readTreInfo);
    ASSERT_TRUE(input.single.tre);
    EXPECT_EQ(input.single.tre->headerRead, 512u);
    putU32(b.data() + 0x1D, 0x100 + 119);
    load(typeGmp, b);
    run(readTreInfo);
    EXPECT_FALSE(input.single.tre);
    EXPECT_TRUE(input.single.gmpParts);
}

TEST_F(HeaderReaders, GmpTooShortOrPartsOutsideGiveNoRecords) {
    // 48 bytes: not even the part offsets.
    Bytes shortGmp = gmpBytes(0x100, 0x180, 0x200, 0x500, 0, 0x600);
    shortGmp.resize(48);
    load(typeGmp, shortGmp);
    for (auto reader : {readTreInfo, readLblInfo, readDemInfo}) EXPECT_EQ(run(reader), "");
    EXPECT_FALSE(input.single.gmpParts);
    EXPECT_FALSE(input.single.tre || input.single.lbl || input.single.dem);

    // Every part beyond the subfile's end.
    Bytes far = gmpBytes(0x900, 0xA00, 0x900, 0xA00, 0, 0x900);
    load(typeGmp, far);
    for (auto reader : {readTreInfo, readLblInfo, readDemInfo}) EXPECT_EQ(run(reader), "");
    EXPECT_TRUE(input.single.gmpParts);
    EXPECT_FALSE(input.single.tre || input.single.lbl || input.single.dem);
}

// ---- LBL ----

Bytes lblBytes(std::uint16_t headerLength, std::size_t total = 0x400) {
    Bytes b = subfileBytes(total, headerLength, "GARMIN LBL");
    putU16(b.data() + 0xAA, 1252);
    putU32(b.data() + 0xB0, 0x100);
    putU32(b.data() + 0xB4, 4);
    if (total >= 0x104) std::memcpy(b.data() + 0x100, "Sort", 4);
    return b;
}

TEST_F(HeaderReaders, LblCodePageAndSortDescription) {
    Bytes b = lblBytes(0xBC);
    load(typeLbl, b);
    run(readLblInfo);
    ASSERT_TRUE(input.single.lbl);
    EXPECT_EQ(input.single.lbl->codePage, 1252u);
    EXPECT_EQ(input.single.lbl->headerRead, 640u);
    EXPECT_EQ(std::string(input.single.lbl->sortName.data()), "Sort");
    EXPECT_EQ(input.single.lbl->sortName.size(), 5u);

    putU16(b.data() + 0xAA, 0);
    putU16(b.data() + 0xAC, 1250);
    load(typeLbl, b);
    run(readLblInfo);
    ASSERT_TRUE(input.single.lbl);
    EXPECT_EQ(input.single.lbl->codePage, 1250u);

    struct Row {
        std::uint32_t offset, length;
        bool record;
    };
    for (Row r : {Row{0x300, 198, true}, Row{0x300, 199, false}, Row{0x3FC, 4, true}, Row{0x3FD, 4, false},
                  Row{0xFFFFFFFF, 2, false}, Row{0x400, 0, true}}) {
        Bytes s = lblBytes(0xBC);
        putU32(s.data() + 0xB0, r.offset);
        putU32(s.data() + 0xB4, r.length);
        if (r.record && r.length) std::fill(s.begin() + r.offset, s.begin() + r.offset + r.length, 'a');
        load(typeLbl, s);
        EXPECT_EQ(run(readLblInfo), "");
        ASSERT_EQ(input.single.lbl.has_value(), r.record) << r.offset << " " << r.length;
        if (!r.record) continue;
        const std::vector<char>& name = input.single.lbl->sortName;
        ASSERT_EQ(name.size(), r.length + 1);
        EXPECT_EQ(name.back(), '\0');
        EXPECT_EQ(std::string(name.data()), std::string(r.length, 'a'));
    }
}

TEST_F(HeaderReaders, LblLongHeaderValuesNeedBothLengthsAbove409) {
    auto withValues = [](std::uint16_t headerLength, std::size_t total) {
        Bytes b = lblBytes(headerLength, total);
        putU32(b.data() + 0x184, 0x11111111);
        putU32(b.data() + 0x188, 0x22222222);
        putU16(b.data() + 0x18C, 0x3333);
        putU32(b.data() + 0x192, 0x44444444);
        if (total >= 0x19A) putU32(b.data() + 0x196, 0x55555555);
        return b;
    };
    struct Row {
        std::uint16_t length;
        std::size_t total;
        bool values;
    };
    for (Row r : {Row{410, 0x400, true}, Row{409, 0x400, false}, Row{0x400, 409, false}, Row{0x400, 410, true}}) {
        load(typeLbl, withValues(r.length, r.total));
        run(readLblInfo);
        ASSERT_TRUE(input.single.lbl) << r.length << " " << r.total;
        const LblInfo& l = *input.single.lbl;
        EXPECT_EQ(l.section184Offset, r.values ? 0x11111111u : 0u);
        EXPECT_EQ(l.section184Length, r.values ? 0x22222222u : 0u);
        EXPECT_EQ(l.section184RecordSize, r.values ? 0x3333u : 0u);
        EXPECT_EQ(l.section192Offset, r.values ? 0x44444444u : 0u);
        EXPECT_EQ(l.section192Length, r.values ? 0x55555555u : 0u);
    }
}

TEST_F(HeaderReaders, LblShortOrBadSignature) {
    Bytes b = lblBytes(0xBC);
    b.resize(183);
    load(typeLbl, b);
    EXPECT_EQ(run(readLblInfo), "");
    EXPECT_FALSE(input.single.lbl);

    Bytes bad = lblBytes(0xBC);
    bad[2] = 'g';
    load(typeLbl, bad);
    bool ok = true;
    EXPECT_EQ(run(readLblInfo, ok), "Bad data in LBL subfile, file " + input.path + ".\n");
    EXPECT_FALSE(ok);
    useEnglish = false;
    EXPECT_EQ(run(readLblInfo, ok), "Złe dane podzbioru LBL, plik " + input.path + ".\n");
}

TEST_F(HeaderReaders, GmpLblPartClippedByNet) {
    Bytes b = gmpBytes(0x100, 0x180, 0x200, 0x300, 0, 0);
    Bytes lbl = lblBytes(0xBC, 0x100);
    putU16(lbl.data() + 0xAA, 1251);
    putU32(lbl.data() + 0xB0, 0x600);  // from the GMP's start
    putU32(lbl.data() + 0xB4, 3);
    std::copy(lbl.begin(), lbl.end(), b.begin() + 0x200);
    std::memcpy(b.data() + 0x600, "abc", 3);
    load(typeGmp, b);
    run(readLblInfo);
    ASSERT_TRUE(input.single.lbl);
    EXPECT_EQ(input.single.lbl->headerOffset, 0x200u);
    EXPECT_EQ(input.single.lbl->headerRead, 0x100u);
    EXPECT_EQ(input.single.lbl->codePage, 1251u);
    EXPECT_EQ(std::string(input.single.lbl->sortName.data()), "abc");

    putU32(b.data() + 0x25, 0x200 + 183);  // NET too close
    load(typeGmp, b);
    EXPECT_EQ(run(readLblInfo), "");
    EXPECT_FALSE(input.single.lbl);
}

// ---- DEM ----

Bytes demBytes(std::size_t total, std::uint16_t count, std::uint16_t recordSize, std::uint32_t offset) {
    Bytes b(total, 0);
    if (total >= 0x25) {
        putU16(b.data() + 0x19, count);
        putU16(b.data() + 0x1F, recordSize);
        putU32(b.data() + 0x21, offset);
    }
    for (std::size_t i = 0x40; i < total; ++i) b[i] = static_cast<std::uint8_t>(i);
    return b;
}

TEST_F(HeaderReaders, DemLevelRecordsKeptOnlyWhenInside) {
    struct Row {
        std::size_t total;
        std::uint16_t count, recordSize;
        std::uint32_t offset;
        bool kept;
        std::size_t firstLevel;
    };
    for (Row r : {Row{0xB8, 2, 0x3C, 0x40, true, 0x3C}, Row{0xB7, 2, 0x3C, 0x40, false, 0},
                  Row{0x200, 1, 120, 0x40, true, 100}, Row{0x200, 0, 120, 0x40, false, 0},
                  Row{0x200, 1, 0, 0x40, false, 0}, Row{0x200, 0xFFFF, 0xFFFF, 0xFFFFFFFF, false, 0}}) {
        load(typeDem, demBytes(r.total, r.count, r.recordSize, r.offset));
        EXPECT_EQ(run(readDemInfo), "");
        ASSERT_TRUE(input.single.dem) << r.total;
        const DemInfo& d = *input.single.dem;
        EXPECT_EQ(d.headerRead, 64u);
        EXPECT_EQ(d.levelCount, r.kept ? r.count : 0u) << r.total << " " << r.count;
        EXPECT_EQ(d.levelRecordSize, r.kept ? r.recordSize : 0u);
        EXPECT_EQ(d.levelRecordsOffset, r.kept ? r.offset : 0u);
        ASSERT_EQ(d.firstLevel.size(), r.firstLevel);
        if (r.firstLevel) {
            EXPECT_EQ(d.firstLevel[0], 0x40);
        }
    }
    // 37 bytes are enough for the fields; 36 are not.
    load(typeDem, demBytes(37, 0, 0, 0));
    run(readDemInfo);
    ASSERT_TRUE(input.single.dem);
    EXPECT_EQ(input.single.dem->headerRead, 37u);
    load(typeDem, demBytes(36, 0, 0, 0));
    run(readDemInfo);
    EXPECT_FALSE(input.single.dem);
}

TEST_F(HeaderReaders, GmpDemPart) {
    Bytes b = gmpBytes(0x100, 0x180, 0x200, 0x300, 0, 0x400);
    putU16(b.data() + 0x400 + 0x19, 1);
    putU16(b.data() + 0x400 + 0x1F, 8);
    putU32(b.data() + 0x400 + 0x21, 0x7F8);  // from the GMP's start, ends at its end
    b[0x7F8] = 0xAB;
    load(typeGmp, b);
    run(readDemInfo);
    ASSERT_TRUE(input.single.dem);
    EXPECT_EQ(input.single.dem->headerOffset, 0x400u);
    EXPECT_EQ(input.single.dem->levelCount, 1u);
    ASSERT_EQ(input.single.dem->firstLevel.size(), 8u);
    EXPECT_EQ(input.single.dem->firstLevel[0], 0xAB);

    putU32(b.data() + 0x2D, 0);  // no DEM part
    load(typeGmp, b);
    run(readDemInfo);
    EXPECT_FALSE(input.single.dem);
}

// ---- TYP, TRF, MMR, MD2 ----

TEST_F(HeaderReaders, TypFieldsReachTheSingleInput) {
    Bytes b = subfileBytes(200, 91, "GARMIN TYP");
    putU16(b.data() + 0x15, 1250);
    putU16(b.data() + 0x2F, 0x1234);
    putU16(b.data() + 0x31, 7);
    load(typeTyp, b, 2);
    EXPECT_EQ(run(readAuxInfo), "");
    ASSERT_TRUE(input.single.aux);
    const AuxInfo& a = *input.single.aux;
    EXPECT_EQ(a.type, typeTyp);
    EXPECT_EQ(a.headerRead, 200u);
    EXPECT_EQ(a.fid, 0x1234u);
    EXPECT_EQ(a.pid, 7u);
    EXPECT_EQ(a.codePage, 1250u);
    EXPECT_EQ(input.fid, 0x1234u);
    EXPECT_EQ(input.pid, 7u);
    EXPECT_EQ(input.codePage, 1250u);
    EXPECT_EQ(input.single.bad, 0);

    // The same subfile read as something other than the single input leaves the input alone.
    load(typeTyp, b, 2);
    Subfile other = input.single;
    EXPECT_TRUE(readAuxInfo(input, other));
    ASSERT_TRUE(other.aux);
    EXPECT_EQ(input.fid, 0u);
}

TEST_F(HeaderReaders, AuxWrongSignatureWarnsAndKeepsGoing) {
    struct Row {
        SubfileType type;
        std::size_t total;
        const char* signature;
        const char* name;
    };
    for (Row r : {Row{typeTyp, 91, "GARMIN TYX", "TYP"}, Row{typeTrf, 73, "GARMIN TRX", "TRF"},
                  Row{typeMmr, 150, "GARMIN MMX", "MMR"}}) {
        Bytes b = subfileBytes(r.total, static_cast<std::uint16_t>(r.total), r.signature);
        putU16(b.data() + (r.type == typeTyp ? 0x15 : r.type == typeTrf ? 0x27 : 0x8C), 1257);
        for (bool english : {true, false}) {
            useEnglish = english;
            load(r.type, b, 3);
            std::uint32_t warnings = warningCount;
            std::string expected = english ? std::string("== Warning: Bad data in ") + r.name + " subfile, file " +
                                                 input.path + ".\n"
                                           : std::string("== Ostrzeżenie: Złe dane podzbioru ") + r.name +
                                                 ", plik " + input.path + ".\n";
            EXPECT_EQ(run(readAuxInfo), expected);
            EXPECT_EQ(warningCount, warnings + 1);
            EXPECT_EQ(input.single.type, typeOther);
            EXPECT_EQ(input.single.bad, 1);
            EXPECT_EQ(input.detectedType, typeOther);
            ASSERT_TRUE(input.single.aux) << r.name;
            EXPECT_EQ(input.single.aux->type, r.type);
            EXPECT_EQ(input.single.aux->codePage, 1257u);
            EXPECT_EQ(input.codePage, 1257u);
        }
    }
}

TEST_F(HeaderReaders, AuxMinimumLengths) {
    struct Row {
        SubfileType type;
        std::size_t total;
        std::uint16_t headerLength;
        const char* signature;
        bool record;
    };
    for (Row r : {Row{typeTyp, 90, 91, "GARMIN TYP", false}, Row{typeTyp, 200, 90, "GARMIN TYP", false},
                  Row{typeTrf, 72, 73, "GARMIN TRF", false}, Row{typeTrf, 73, 72, "GARMIN TRF", false},
                  Row{typeTrf, 73, 73, "GARMIN TRF", true}, Row{typeMmr, 149, 150, "GARMIN MMR", false},
                  Row{typeMmr, 150, 149, "GARMIN MMR", false}, Row{typeMd2, 72, 236, nullptr, false},
                  Row{typeMd2, 73, 0, nullptr, true}, Row{typeMd2, 600, 236, nullptr, true}}) {
        load(r.type, subfileBytes(r.total, r.headerLength, r.signature));
        std::uint32_t warnings = warningCount;
        EXPECT_EQ(run(readAuxInfo), "");
        EXPECT_EQ(warningCount, warnings);
        EXPECT_EQ(input.single.aux.has_value(), r.record) << int(r.type) << " " << r.total << " " << r.headerLength;
        EXPECT_EQ(input.single.type, r.type);
        if (r.record) {
            EXPECT_EQ(input.single.aux->headerRead, std::min<std::size_t>(r.total, 512));
        }
    }
}

TEST_F(HeaderReaders, MmrMapRefOnlyWhenItsTableLiesInside) {
    struct Row {
        std::uint32_t offset, length;
        std::uint16_t count;
        std::uint32_t mapRef;
    };
    for (Row r : {Row{0x100, 4, 4, 0x00ABCDEF}, Row{0x101, 4, 4, 0}, Row{0xFC, 8, 4, 0x00ABCDEF},
                  Row{0x100, 4, 3, 0}, Row{0x100, 3, 4, 0}, Row{0xFFFFFFFF, 4, 4, 0}}) {
        Bytes b = subfileBytes(0x104, 150, "GARMIN MMR");
        putU32(b.data() + 0x80, r.offset);
        putU32(b.data() + 0x84, r.length);
        putU16(b.data() + 0x88, r.count);
        putU32(b.data() + 0xFC, 0x11111111);
        putU32(b.data() + 0x100, 0x00ABCDEF);
        if (r.offset == 0xFC) putU32(b.data() + 0xFC, 0x00ABCDEF);
        load(typeMmr, b, 3);
        run(readAuxInfo);
        ASSERT_TRUE(input.single.aux);
        EXPECT_EQ(input.single.aux->mapRef, r.mapRef) << r.offset << " " << r.length << " " << r.count;
    }
}

TEST_F(HeaderReaders, ReadersIgnoreOtherTypes) {
    // TRE bytes held by a subfile of another type: nobody reads them.
    for (SubfileType type : {typeRgn, typeNet, typeNod, typeMdr, typeSrt, typeOther}) {
        Bytes b = treBytes(120);
        load(type, b);
        for (auto reader : {readTreInfo, readLblInfo, readDemInfo, readAuxInfo}) EXPECT_EQ(run(reader), "");
        EXPECT_FALSE(input.single.tre || input.single.lbl || input.single.dem || input.single.aux);
        EXPECT_FALSE(input.single.gmpParts);
    }
}

// ---- Map units ----

TEST(MapUnits, BoundsTakeTheirSideForTheAmbiguousValue) {
    EXPECT_DOUBLE_EQ(northEastDegrees(0x800000), 180.0);
    EXPECT_DOUBLE_EQ(southWestDegrees(0x800000), -180.0);
    for (auto f : {northEastDegrees, southWestDegrees}) {
        EXPECT_DOUBLE_EQ(f(0), 0.0);
        EXPECT_DOUBLE_EQ(f(0xFFFFFF), -360.0 / 16777216.0);
        EXPECT_DOUBLE_EQ(f(0x7FFFFF), 0x7FFFFF * 360.0 / 16777216.0);
        EXPECT_DOUBLE_EQ(f(0x800001), -180.0 + 360.0 / 16777216.0);
        EXPECT_DOUBLE_EQ(f(0x400000), 90.0);
    }
    EXPECT_DOUBLE_EQ(demDegrees(INT32_MIN), -180.0);
    EXPECT_DOUBLE_EQ(demDegrees(1 << 30), 90.0);
    EXPECT_DOUBLE_EQ(demDegrees(-1), -360.0 / 4294967296.0);
}

}  // namespace
