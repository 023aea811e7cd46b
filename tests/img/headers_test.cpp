#include "img/headers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container.h"
#include "img/subfile_types.h"
#include "support/run_clx.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Reader = bool (*)(InputFile&, Subfile&);

const Bytes kLevels = {0x81, 24, 1, 0, 0x00, 22, 4, 0};  // two levels, the first inherited

// The common header: length, signature, and the rest left zero.
Bytes subfileBytes(std::size_t total, std::uint16_t headerLength, const char* signature) {
    Bytes b(total, 0);
    if (total >= 2) putU16(b.data(), headerLength);
    if (signature && total >= 12) std::memcpy(b.data() + 2, signature, 10);
    return b;
}

// A TRE header at `at` whose sections all start at `sections`, where the
// levels are when they fit; map ID 0x01234567.
void putTre(Bytes& b, std::size_t at, std::uint16_t headerLength, std::uint32_t sections) {
    putU16(b.data() + at, headerLength);
    std::memcpy(b.data() + at + 2, "GARMIN TRE", 10);
    for (std::uint32_t off : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) putU32(b.data() + at + off, sections);
    putU32(b.data() + at + 0x25, 8);
    putU32(b.data() + at + 0x74, 0x01234567);
    if (sections + 8 <= b.size()) std::copy(kLevels.begin(), kLevels.end(), b.begin() + sections);
}

Bytes treBytes(std::uint16_t headerLength, std::size_t total = 0x400, std::uint32_t sections = 0x300) {
    Bytes b(total, 0);
    putTre(b, 0, headerLength, sections);
    return b;
}

// A GMP of 0x800 bytes with TRE, RGN, LBL, NET, NOD and DEM parts at the offsets given.
Bytes gmpBytes(std::array<std::uint32_t, gmpPartCount> parts) {
    Bytes b = subfileBytes(0x800, 0x31, "GARMIN GMP");
    for (int i = 0; i < gmpPartCount; ++i) putU32(b.data() + 0x19 + 4 * i, parts[i]);
    return b;
}

// An LBL with code page 1252 and the sort description "Sort" at 0x100.
Bytes lblBytes(std::uint16_t headerLength, std::size_t total = 0x400) {
    Bytes b = subfileBytes(total, headerLength, "GARMIN LBL");
    putU16(b.data() + 0xAA, 1252);
    putU32(b.data() + 0xB0, 0x100);
    putU32(b.data() + 0xB4, 4);
    if (total >= 0x104) std::memcpy(b.data() + 0x100, "Sort", 4);
    return b;
}

class HeaderReaders : public ::testing::Test {
protected:
    ScratchDir dir;
    InputFile input;
    int files = 0;

    void SetUp() override { useEnglish = true; }

    // A single-subfile input of `type` holding `bytes`, opened and given to
    // the readers, which must succeed; returns what they printed.
    std::string read(SubfileType type, const Bytes& bytes, std::initializer_list<Reader> readers) {
        input = InputFile{};
        input.path = (dir / ("in" + std::to_string(files++) + ".bin")).string();
        writeFile(input.path, std::string(bytes.begin(), bytes.end()));
        input.detectedType = input.single.type = type;
        input.size = input.single.size = static_cast<std::uint32_t>(bytes.size());
        EXPECT_TRUE(openInput(input, "rb"));
        std::string out;
        for (auto reader : readers) {
            testing::internal::CaptureStdout();
            EXPECT_TRUE(reader(input, input.single));
            out += testing::internal::GetCapturedStdout();
        }
        return out;
    }
};

// Below 116 bytes of stored header no record, below 120 no map ID; the free
// text ends where the nearest section starts, or at the bytes read.
TEST_F(HeaderReaders, TreHeaderLengthsDataStartAndLevels) {
    for (auto [length, record, mapId] : {std::tuple<std::uint16_t, bool, std::uint32_t>{115, false, 0},
                                         {116, true, 0}, {119, true, 0}, {120, true, 0x01234567}}) {
        EXPECT_EQ(read(typeTre, treBytes(length), {readTreInfo}), "") << length;
        ASSERT_EQ(input.single.tre.has_value(), record) << length;
        if (!record) continue;
        EXPECT_EQ(input.single.tre->mapId, mapId) << length;
        EXPECT_EQ(input.single.tre->dataStart, 512u);  // all the header read: no section inside it
    }
    for (std::uint32_t at : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) {
        const std::uint32_t start = at == 0x58 ? 0 : 0x90;
        Bytes b = treBytes(120);
        putU32(b.data() + at, start);
        read(typeTre, b, {readTreInfo});
        ASSERT_TRUE(input.single.tre) << at;
        EXPECT_EQ(input.single.tre->dataStart, start) << at;
    }
    // A short subfile: what is there is read; fewer than 120 bytes give no
    // record, whatever the signature.
    read(typeTre, treBytes(120, 300, 0x100), {readTreInfo});
    ASSERT_TRUE(input.single.tre);
    EXPECT_EQ(input.single.tre->header.size(), 300u);
    EXPECT_EQ(input.single.tre->dataStart, 0x100u);
    for (const char* signature : {"GARMIN TRE", "GARMIN XXX"}) {
        EXPECT_EQ(read(typeTre, subfileBytes(119, 120, signature), {readTreInfo}), "");
        EXPECT_FALSE(input.single.tre);
    }
    // At most 32 level records, and all of them inside the subfile.
    for (auto [offset, size, record] : {std::tuple<std::uint32_t, std::uint32_t, bool>{0x300, 128, true},
                                        {0x300, 132, false}, {0x3F8, 8, true}, {0x3F9, 8, false}, {0x400, 0, true},
                                        {0x401, 0, false}, {0xFFFFFFF8, 16, false}}) {
        Bytes b = treBytes(120);
        putU32(b.data() + 0x21, offset);
        putU32(b.data() + 0x25, size);
        EXPECT_EQ(read(typeTre, b, {readTreInfo}), "");
        EXPECT_EQ(input.single.tre.has_value(), record) << offset << " " << size;
    }
}

TEST_F(HeaderReaders, GmpTrePartClippedByRgnFlagsAndShortGmps) {
    std::array<std::uint32_t, gmpPartCount> parts{0x100, 0x180, 0x200, 0x500, 0, 0x600};
    Bytes b = gmpBytes(parts);
    putTre(b, 0x100, 120, 0x700);           // sections count from the GMP's start
    putU32(b.data() + 0x100 + 0x31, 0x40);  // below the header: ignored inside a GMP
    read(typeGmp, b, {readTreInfo});
    ASSERT_TRUE(input.single.gmpParts && input.single.tre);
    EXPECT_EQ(*input.single.gmpParts, parts);
    EXPECT_EQ(input.single.tre->header.size(), 0x80u);
    EXPECT_EQ(input.single.tre->dataStart, 0x80u);
    EXPECT_EQ(input.single.tre->mapId, 0x01234567u);
    EXPECT_EQ(input.single.tre->levels, kLevels);
    EXPECT_EQ(input.single.tre->hasDem, 1);
    EXPECT_EQ(input.single.tre->hasRouting, 0);

    // NOD but no DEM, and RGN stored before TRE, which does not limit it.
    putU32(b.data() + 0x1D, 0x80);
    putU32(b.data() + 0x29, 0x580);
    putU32(b.data() + 0x2D, 0);
    read(typeGmp, b, {readTreInfo});
    ASSERT_TRUE(input.single.tre);
    EXPECT_EQ(input.single.tre->header.size(), 512u);
    EXPECT_EQ(input.single.tre->hasDem, 0);
    EXPECT_EQ(input.single.tre->hasRouting, 1);
    putU32(b.data() + 0x1D, 0x100 + 119);  // RGN less than 120 bytes after TRE: no room
    read(typeGmp, b, {readTreInfo});
    EXPECT_FALSE(input.single.tre);

    // Too short for the part offsets, every part beyond the end, or not a GMP
    // (nor a TRE) at all: no records.
    Bytes tooShort = gmpBytes({0x100, 0x180, 0x200, 0x500, 0, 0x600});
    tooShort.resize(48);
    for (auto [type, bytes] : {std::pair{typeGmp, tooShort},
                               {typeGmp, gmpBytes({0x900, 0xA00, 0x900, 0xA00, 0, 0x900})}, {typeRgn, treBytes(120)}}) {
        EXPECT_EQ(read(type, bytes, {readTreInfo, readLblInfo, readDemInfo}), "");
        EXPECT_EQ(input.single.gmpParts.has_value(), bytes.size() == 0x800);
        EXPECT_FALSE(input.single.tre || input.single.lbl || input.single.dem);
    }
}

TEST_F(HeaderReaders, GmpLblPartClippedByNetAndDemPartOnlyWhenThere) {
    Bytes b = gmpBytes({0x100, 0x180, 0x200, 0x300, 0, 0x400});
    Bytes lbl = lblBytes(0xBC, 0x100);
    putU32(lbl.data() + 0xB0, 0x600);  // from the GMP's start
    putU32(lbl.data() + 0xB4, 3);
    std::copy(lbl.begin(), lbl.end(), b.begin() + 0x200);
    std::memcpy(b.data() + 0x600, "abc", 3);
    putU16(b.data() + 0x400 + 0x19, 1);
    putU16(b.data() + 0x400 + 0x1F, 8);
    putU32(b.data() + 0x400 + 0x21, 0x7F8);  // from the GMP's start, ends at its end
    b[0x7F8] = 0xAB;
    read(typeGmp, b, {readLblInfo, readDemInfo});
    ASSERT_TRUE(input.single.lbl && input.single.dem);
    EXPECT_EQ(input.single.lbl->codePage, 1252u);
    EXPECT_EQ(std::string(input.single.lbl->sortName.data()), "abc");
    EXPECT_EQ(input.single.dem->levelCount, 1u);
    EXPECT_EQ(input.single.dem->firstLevel, (Bytes{0xAB, 0, 0, 0, 0, 0, 0, 0}));

    putU32(b.data() + 0x25, 0x200 + 183);  // NET too close
    putU32(b.data() + 0x2D, 0);            // no DEM part
    EXPECT_EQ(read(typeGmp, b, {readLblInfo, readDemInfo}), "");
    EXPECT_FALSE(input.single.lbl || input.single.dem);
}

TEST_F(HeaderReaders, LblCodePageSortDescriptionAndLongHeader) {
    Bytes b = lblBytes(0xBC);
    read(typeLbl, b, {readLblInfo});
    ASSERT_TRUE(input.single.lbl);
    EXPECT_EQ(input.single.lbl->codePage, 1252u);
    putU16(b.data() + 0xAA, 0);  // then the code page at 0xAC counts
    putU16(b.data() + 0xAC, 1250);
    read(typeLbl, b, {readLblInfo});
    ASSERT_TRUE(input.single.lbl);
    EXPECT_EQ(input.single.lbl->codePage, 1250u);

    // The sort description: at most 198 bytes, inside the subfile.
    for (auto [offset, length, record] : {std::tuple<std::uint32_t, std::uint32_t, bool>{0x300, 198, true},
                                          {0x300, 199, false}, {0x3FC, 4, true}, {0x3FD, 4, false},
                                          {0xFFFFFFFF, 2, false}, {0x400, 0, true}}) {
        Bytes s = lblBytes(0xBC);
        putU32(s.data() + 0xB0, offset);
        putU32(s.data() + 0xB4, length);
        EXPECT_EQ(read(typeLbl, s, {readLblInfo}), "");
        // A record always has the zero byte after the description.
        EXPECT_EQ(input.single.lbl ? input.single.lbl->sortName.size() : 0, record ? length + 1 : 0)
            << offset << " " << length;
    }
    b.resize(183);  // too short: no record
    EXPECT_EQ(read(typeLbl, b, {readLblInfo}), "");
    EXPECT_FALSE(input.single.lbl);
    // The values past 0x184 need both the stored and the held length above 409.
    for (auto [length, total, values] : {std::tuple<std::uint16_t, std::size_t, bool>{410, 0x400, true},
                                         {409, 0x400, false}, {0x400, 409, false}, {0x400, 410, true}}) {
        Bytes l = lblBytes(length, total);
        putU32(l.data() + 0x188, 0x22222222);
        putU16(l.data() + 0x18C, 0x3333);
        if (total >= 0x19A) putU32(l.data() + 0x196, 0x55555555);
        read(typeLbl, l, {readLblInfo});
        ASSERT_TRUE(input.single.lbl) << length << " " << total;
        EXPECT_EQ(input.single.lbl->section184Length, values ? 0x22222222u : 0u);
        EXPECT_EQ(input.single.lbl->section184RecordSize, values ? 0x3333u : 0u);
        EXPECT_EQ(input.single.lbl->section192Length, values ? 0x55555555u : 0u);
    }
}

// The level records must lie inside; the first one is kept up to 100 bytes.
TEST_F(HeaderReaders, DemLevelRecordsKeptOnlyWhenInside) {
    using Row = std::tuple<std::size_t, std::uint16_t, std::uint16_t, std::uint32_t, std::size_t>;
    for (auto [total, count, size, offset, held] :
         {Row{0xB8, 2, 60, 0x40, 60}, {0xB7, 2, 60, 0x40, 0}, {0x200, 1, 120, 0x40, 100}, {0x200, 0, 120, 0x40, 0},
          {0x200, 1, 0, 0x40, 0}, {0x200, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0}, {37, 0, 0, 0, 0}}) {
        Bytes b(total, 0);
        putU16(b.data() + 0x19, count);
        putU16(b.data() + 0x1F, size);
        putU32(b.data() + 0x21, offset);
        EXPECT_EQ(read(typeDem, b, {readDemInfo}), "");
        ASSERT_TRUE(input.single.dem) << total;
        EXPECT_EQ(input.single.dem->levelCount, held ? count : 0u) << total << " " << count;
        EXPECT_EQ(input.single.dem->levelRecordSize, held ? size : 0u);
        EXPECT_EQ(input.single.dem->firstLevel.size(), held);
    }
    EXPECT_EQ(read(typeDem, Bytes(36, 0), {readDemInfo}), "");  // too short for the fields
    EXPECT_FALSE(input.single.dem);
}

// Too short a subfile or stored header gives no record; a wrong signature
// is only a warning: the subfile becomes other data, its fields still read.
TEST_F(HeaderReaders, AuxLengthsAndSignatures) {
    using Row = std::tuple<SubfileType, std::size_t, std::uint16_t, const char*, bool, bool>;
    for (auto [type, total, length, signature, record, warned] :
         {Row{typeTyp, 90, 91, "GARMIN TYP", false, false}, {typeTyp, 91, 91, "GARMIN TYP", true, false},
          {typeTrf, 72, 73, "GARMIN TRF", false, false}, {typeTrf, 73, 73, "GARMIN TRF", true, false},
          {typeTrf, 73, 73, "GARMIN TRX", true, true}, {typeMmr, 149, 150, "GARMIN MMR", false, false},
          {typeMmr, 150, 149, "GARMIN MMR", false, false}, {typeMmr, 150, 150, "GARMIN MMR", true, false},
          {typeMmr, 150, 150, "GARMIN MMX", true, true}, {typeMd2, 72, 236, nullptr, false, false},
          {typeMd2, 73, 0, nullptr, true, false}}) {
        Bytes b = subfileBytes(total, length, signature);
        const std::size_t codePageAt = type == typeTyp ? 0x15 : type == typeTrf ? 0x27 : type == typeMmr ? 0x8C : 0;
        if (codePageAt && codePageAt + 2 <= total) putU16(b.data() + codePageAt, 1257);
        const std::uint32_t warnings = warningCount;
        SCOPED_TRACE(std::string(typeName(type)) + " " + std::to_string(total) + " " + std::to_string(length));
        const std::string out = read(type, b, {readAuxInfo});
        const std::string warning = "== Warning: Bad data in " + std::string(typeName(type)) + " subfile, file ";
        EXPECT_EQ(out, warned ? warning + input.path + ".\n" : "");
        EXPECT_EQ(warningCount, warnings + warned);
        ASSERT_EQ(input.single.aux.has_value(), record);
        EXPECT_EQ(input.single.type, warned ? typeOther : type);
        EXPECT_EQ(input.detectedType, warned ? typeOther : type);
        EXPECT_EQ(input.single.bad, warned ? 1 : 0);
        EXPECT_EQ(input.single.aux ? input.single.aux->codePage : 0u, record && codePageAt ? 1257u : 0u);
    }
}

TEST_F(HeaderReaders, MmrMapRefOnlyWhenItsTableLiesInside) {
    using Row = std::tuple<std::uint32_t, std::uint32_t, std::uint16_t, std::uint32_t>;
    for (auto [offset, length, count, mapRef] :
         {Row{0x100, 4, 4, 0xABCDEF}, {0x101, 4, 4, 0}, {0xFC, 8, 4, 0xABCDEF}, {0x100, 8, 4, 0}, {0x100, 4, 3, 0},
          {0x100, 3, 4, 0}, {0xFFFFFFFF, 4, 4, 0}}) {
        Bytes b = subfileBytes(0x104, 150, "GARMIN MMR");
        putU32(b.data() + 0x80, offset);
        putU32(b.data() + 0x84, length);
        putU16(b.data() + 0x88, count);
        putU32(b.data() + 0xFC, offset == 0xFC ? 0xABCDEF : 0x11111111);
        putU32(b.data() + 0x100, 0xABCDEF);
        read(typeMmr, b, {readAuxInfo});
        ASSERT_TRUE(input.single.aux);
        EXPECT_EQ(input.single.aux->mapRef, mapRef) << offset << " " << length << " " << count;
    }
}

}  // namespace
