#include "info/info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/options.h"
#include "info/info_details.h"

namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void put24(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 3; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putText(Bytes& b, std::size_t at, const std::string& s) {
    if (b.size() < at + s.size()) b.resize(at + s.size());
    std::memcpy(b.data() + at, s.data(), s.size());
}

// A record body built field by field.
struct Body {
    Bytes b;
    Body& u16(std::uint16_t v) { put16(b, b.size(), v); return *this; }
    Body& u32(std::uint32_t v) { put32(b, b.size(), v); return *this; }
    Body& u8(std::uint8_t v) { b.push_back(v); return *this; }
    Body& text(const std::string& s) { putText(b, b.size(), s); return *this; }
};

int addRecord(InputFile& in, char letter, const Body& body) {
    MpsRecord r;
    r.type = static_cast<std::uint8_t>(letter);
    r.offset = static_cast<std::uint32_t>(in.mpsData.size());
    r.length = static_cast<std::uint32_t>(body.b.size() + 3);
    in.mpsData.push_back(r.type);
    put16(in.mpsData, in.mpsData.size(), static_cast<std::uint16_t>(body.b.size()));
    in.mpsData.insert(in.mpsData.end(), body.b.begin(), body.b.end());
    in.mpsLength = static_cast<std::uint32_t>(in.mpsData.size());
    in.mpsRecords.push_back(r);
    return static_cast<int>(in.mpsRecords.size() - 1);
}

// An 'L' record: IDs, map number, the three texts as given (zeros included),
// map ID and the trailing value.
int addMapRecord(InputFile& in, std::uint16_t pid, std::uint16_t fid, const std::string& texts, std::uint32_t mapId,
                 std::uint32_t tail = 0) {
    return addRecord(in, 'L', Body().u16(pid).u16(fid).u32(100).text(texts).u32(mapId).u32(tail));
}

Bytes containerHeader(const std::string& description) {
    Bytes h(0x600, 0);
    putText(h, 0x10, "DSKIMG");
    putText(h, 0x41, "GARMIN");
    put16(h, 0x39, 2021);
    h[0x3B] = 3;
    h[0x3C] = 4;
    h[0x3D] = 5;
    h[0x3E] = 6;
    h[0x3F] = 7;
    h[0x0E] = 1;
    std::string padded = description;
    padded.resize(50, ' ');
    putText(h, 0x49, padded.substr(0, 20));
    putText(h, 0x65, padded.substr(20));
    return h;
}

InputFile container(const std::string& path, std::uint64_t size, const std::string& description) {
    InputFile in;
    in.path = path;
    in.size = size;
    in.img.headerBytes = containerHeader(description);
    in.img.blockSize = 2048;
    in.img.fatStart = 0x200;
    in.img.firstEntry = 0x600;
    in.img.fatLength = 0x1A00;
    return in;
}

// A TRE header of length 120: date 2.1.2010 03:04:05 stored the old way,
// bounds N 0x800000, E 0x400000, S 0xFFFFFF, W 0x800000, parameters 1 2 3,
// two level records, map ID 0x2A; no free text.
TreInfo treInfo(std::uint8_t priority, std::uint8_t flags) {
    TreInfo t;
    t.header.assign(120, 0);
    put16(t.header, 0, 120);
    putText(t.header, 2, "GARMIN TRE");
    put16(t.header, 0x0E, 110);
    t.header[0x10] = 0;
    t.header[0x11] = 2;
    t.header[0x12] = 3;
    t.header[0x13] = 4;
    t.header[0x14] = 5;
    put24(t.header, 0x15, 0x800000);
    put24(t.header, 0x18, 0x400000);
    put24(t.header, 0x1B, 0xFFFFFF);
    put24(t.header, 0x1E, 0x800000);
    t.header[0x3F] = flags;
    t.header[0x40] = priority;
    t.header[0x43] = 1;
    t.header[0x44] = 2;
    t.header[0x45] = 3;
    put32(t.header, 0x74, 0x2A);
    t.mapId = 0x2A;
    t.headerRead = 120;
    t.dataStart = 120;
    t.levelsSize = 8;
    t.levels = {0x81, 22, 1, 0, 0x0A, 20, 5, 0};
    return t;
}

AuxInfo typInfo(std::uint32_t pid, std::uint32_t fid) {
    AuxInfo a;
    a.type = typeTyp;
    a.header.assign(91, 0);
    put16(a.header, 0, 91);
    putText(a.header, 2, "GARMIN TYP");
    put16(a.header, 0x0E, 2019);
    a.header[0x10] = 2;
    a.header[0x11] = 1;
    a.header[0x12] = 10;
    a.header[0x13] = 20;
    a.header[0x14] = 30;
    a.pid = pid;
    a.fid = fid;
    a.codePage = 1252;
    return a;
}

Subfile subfile(const char* name11, SubfileType type, std::uint32_t size, std::uint32_t fatOffset) {
    Subfile s;
    std::memcpy(s.name, name11, 11);
    s.type = type;
    s.size = size;
    s.fatOffset = fatOffset;
    return s;
}

MapEntry mapEntry(const char* name8, MapKind kind, std::uint32_t totalSize, std::uint32_t count,
                  std::uint32_t codePage = 0) {
    MapEntry m;
    std::memcpy(m.name, name8, 8);
    m.kind = kind;
    m.totalSize = totalSize;
    m.subfileCount = count;
    m.codePage = codePage;
    return m;
}

void addMap(InputFile& in, const MapEntry& m) {
    in.maps.push_back(m);
    in.mapList.push_back(static_cast<int>(in.maps.size() - 1));
}

class InfoListing : public testing::Test {
protected:
    void SetUp() override {
        savedOptions = options;
        savedEnglish = useEnglish;
    }
    void TearDown() override {
        options = savedOptions;
        useEnglish = savedEnglish;
    }

    static std::string capture(bool verbose, bool english, const auto& print) {
        resetOptions();
        options.verbose = verbose ? 1 : 0;
        useEnglish = english;
        testing::internal::CaptureStdout();
        print();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
    static std::string listing(const InputFile& in, bool verbose, bool english = true) {
        return capture(verbose, english, [&] { printInfo(in); });
    }
    static std::string details(const Subfile& s, bool english = true) {
        return capture(true, english, [&] { printSubfileDetails(s); });
    }

    Options savedOptions;
    bool savedEnglish = true;
};

const char* const kMapHeadingEn = "\nMap              length s-f  CP    prio  PID   FID  name\n";
const char* const kMapHeadingPl = "\nmapa            długość zbr  CP    prio  PID   FID  nazwa\n";

// The model of an ordinary container: one map with a TRE and a catalogue
// record, a TYP, a TRF and other data, and a catalogue with one record of
// every kind.
InputFile plainContainer() {
    InputFile in = container("dir/maps.img", 123456, "Test maps");
    in.subfiles.push_back(subfile("I0000001TRE", typeTre, 1000, 0x600));
    in.subfiles[0].tre = treInfo(25, 2);
    in.subfiles.push_back(subfile("MYTYP   TYP", typeTyp, 500, 0x800));
    in.subfiles[1].aux = typInfo(7, 9);

    MapEntry m0 = mapEntry("I0000001", mpcMap, 1000, 3, 1250);
    m0.tre = &*in.subfiles[0].tre;
    addRecord(in, 'P', Body().u16(1).u16(2).u16(0).u16(0).u16(0));
    addRecord(in, 'F', Body().u16(1).u16(2).text("My\tFamily\0"s));
    addRecord(in, 'V', Body().text("Test maps\0"s).u8(5));
    m0.mps = addMapRecord(in, 1, 2, "Series\0Desc\0Area\0"s, 1);
    addRecord(in, 'M', Body().u32(1).u32(0).u8(0).u8(1));
    addMap(in, m0);

    MapEntry m1 = mapEntry("MYTYP   ", typData, 500, 1, 1252);
    m1.aux = &*in.subfiles[1].aux;
    addMap(in, m1);
    addMap(in, mapEntry("OTHER   ", otherData, 42, 1));
    MapEntry m3 = mapEntry("CPONLY  ", trfData, 300, 1, 1252);
    m3.aux = &*in.subfiles[1].aux;  // only a TYP group shows the IDs of its header
    addMap(in, m3);
    return in;
}

const std::string kPlainRows =
    " I0000001 MPC      1000  3" "  1250" "   25  T" "   1     2" "  Desc" "\n"
    " MYTYP    TYP       500  1" "  1252" "        " "   7     9" "\n"
    " OTHER     ?         42  1" "\n"
    " CPONLY   TRF       300  1" "  1252" "\n";

TEST_F(InfoListing, WithoutVerboseOnlyHeaderMapsAndCatalogueNames) {
    const InputFile in = plainContainer();
    EXPECT_EQ(listing(in, false),
              "\n\n"
              "File:\t\tdir/maps.img, length 123456\n"
              "Header:   \t04.03.2021 05:06:07, DSKIMG, xor 00h, Ms 1\n"
              "Mapset:   \tTest maps\n"s +
                  kMapHeadingEn + kPlainRows +
                  "\nData MPS\n"
                  " F: PID 1, FID 2, My.Family\n"
                  " V: Test maps (5)\n"
                  "\n\n");
}

TEST_F(InfoListing, PolishLabelsArePaddedByCharacters) {
    const InputFile in = plainContainer();
    EXPECT_EQ(listing(in, false, false),
              "\n\n"
              "Plik:\t\tdir/maps.img, długość 123456\n"
              "nagłówek: \t04.03.2021 05:06:07, DSKIMG, xor 00h, Ms 1\n"
              "zestaw:   \tTest maps\n"s +
                  kMapHeadingPl + kPlainRows +
                  "\nrekordy MPS\n"
                  " F: PID 1, FID 2, My.Family\n"
                  " V: Test maps (5)\n"
                  "\n\n");
}

TEST_F(InfoListing, MapsetLine) {
    auto mapsetLine = [this](const InputFile& in) {
        std::string out = listing(in, false);
        std::size_t at = out.find("Mapset:");
        return at == std::string::npos ? out : out.substr(at, out.find('\n', at) + 1 - at);
    };
    // Only blanks: the first one stays.
    EXPECT_EQ(mapsetLine(container("a.img", 1, "")), "Mapset:   \t \n");
    InputFile versioned = container("a.img", 1, "Topo");
    versioned.img.headerBytes[0x08] = 1;
    versioned.img.headerBytes[0x09] = 5;
    EXPECT_EQ(mapsetLine(versioned), "Mapset:   \tTopo (1.05)\n");
    versioned.img.headerBytes[0x08] = 0;
    EXPECT_EQ(mapsetLine(versioned), "Mapset:   \tTopo (0.05)\n");
    // The two pieces join; a character in the very last position is kept.
    const std::string full = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx";
    EXPECT_EQ(mapsetLine(container("a.img", 1, full)), "Mapset:   \t" + full + "\n");
    // Blanks inside stay; trailing zero padding and control bytes go.
    InputFile padded = container("a.img", 1, "Two  parts");
    std::memset(padded.img.headerBytes.data() + 0x65, 0, 30);
    padded.img.headerBytes[0x66] = 0x1F;
    EXPECT_EQ(mapsetLine(padded), "Mapset:   \tTwo  parts\n");
    // Control bytes and DEL inside the name are not sent to the console.
    EXPECT_EQ(mapsetLine(container("a.img", 1, "A\tB\x7F" "C")), "Mapset:   \tA.B.C\n");
}

TEST_F(InfoListing, VerboseContainerListsSubfilesDetailsAndEveryRecord) {
    InputFile in = container("maps.img", 65536, "Test maps");
    in.img.xorMask = 0x96969696;
    in.subfiles.push_back(subfile("I0000001TRE", typeTre, 4660, 0x600));
    in.subfiles.push_back(subfile("I0000001LBL", typeLbl, 3000, 0x800));
    in.subfiles.push_back(subfile("MYTYP   TYP", typeTyp, 500, 0xA00));
    in.subfiles.push_back(subfile("X\x01Y\x7F    BIN", typeOther, 42, 0xC00));
    in.subfiles[3].bad = 1;

    TreInfo tre = treInfo(25, 2);
    tre.header.resize(140, 0);
    putText(tre.header, 120, "Hi\x01there\0\0Second\x7FZQW"s);
    tre.headerRead = 140;
    tre.dataStart = 140;  // the W just before it is not part of the notices
    in.subfiles[0].tre = tre;
    LblInfo lbl;
    lbl.codePage = 1250;
    lbl.sortName = {'P', 'o', 'l', 'i', 's', 'h', ' ', 's', 'o', 'r', 't', '\0'};
    lbl.section184Length = 120;
    lbl.section184RecordSize = 12;
    lbl.section192Length = 5000;
    in.subfiles[1].lbl = lbl;
    in.subfiles[2].aux = typInfo(7, 9);
    in.subfileIndex = {{0x600, 0, 0}, {0x800, 1, 1}, {0x900, 2, -1}, {0xA00, 3, 2}, {0xC00, 4, 3}};

    addRecord(in, 'P', Body().u16(1).u16(2).u16(0).u16(0).u16(0));
    addRecord(in, 'F', Body().u16(1).u16(2).text("Fam\0"s));
    addRecord(in, 'V', Body().text("Test maps\0"s).u8(0));
    MapEntry m0 = mapEntry("I0000001", mpcMap, 7660, 2, 1250);
    m0.tre = &*in.subfiles[0].tre;
    m0.lbl = &*in.subfiles[1].lbl;
    m0.mps = addMapRecord(in, 1, 2, "Series\0Desc\0Series\0"s, 0x2A);
    addMap(in, m0);
    MapEntry m1 = mapEntry("MYTYP   ", typData, 500, 1, 1252);
    m1.aux = &*in.subfiles[2].aux;
    addMap(in, m1);
    MapEntry m2 = mapEntry("X\x01Y\x7F    ", otherData, 42, 1);
    m2.badCount = 1;
    addMap(in, m2);

    EXPECT_EQ(listing(in, true),
              "\n\n"
              "File:\t\tmaps.img, length 65536\n"
              "Header:   \t04.03.2021 05:06:07, DSKIMG, xor 96h, Ms 1\n"
              "Mapset:   \tTest maps\n"
              "fat:\t\t200h - 600h - 1A00h, block 2048\n"
              "maps:\t\t3, sub-files 4\n"
              "\nSub-file         fat     length\n"
              " I0000001 TRE    600h      4660"
              "\n\tmap 2a (42)"
              "\n\tdate 02.01.2010 03:04:05"
              "\n\tpriority 25, parameters 1 2 3 2, transparent"
              "\n\tlevels [22,20], zoom [81,a]"
              "\n\tN: 180.000000, S: -0.000021, W: -180.000000, E: 90.000000"
              "\n\tHi.there"
              "\n\tSecond.ZQ"
              "\n"
              " I0000001 LBL    800h      3000"
              "\n\tCP 1250, Polish sort"
              "\n\tBitmaps 10, size 5000 (12)"
              "\n"
              " ???             900h\n"
              " MYTYP    TYP    A00h       500"
              "\n\tdate 01.02.2019 10:20:30, CP 1252, PID 7, FID 9"
              "\n"
              " X.Y.     BIN    C00h        42 ???\n"s +
                  kMapHeadingEn +
                  " I0000001 MPC      7660  2" "  1250" "   25  T" "   1     2" "  Desc" "  >Series" "\n"
                  " MYTYP    TYP       500  1" "  1252" "        " "   7     9" "\n"
                  " X.Y.      ?         42  1 ???" "\n"
                  "\nData MPS\n"
                  " P: PID 1, FID 2, (0 0 0)\n"
                  " F: PID 1, FID 2, Fam\n"
                  " V: Test maps (0)\n"
                  " L: PID 1, FID 2, map 2A, (100 0),  Desc  >Series\n"
                  "\n\n");
}

TEST_F(InfoListing, PolishVerboseWords) {
    InputFile in = container("pl.img", 4096, "Test maps");
    in.subfiles.push_back(subfile("MAPA0001TRE", typeTre, 1000, 0x600));
    in.subfiles.push_back(subfile("MAPA0001DEM", typeDem, 2000, 0x800));
    in.subfiles.push_back(subfile("MAPA0001LBL", typeLbl, 3000, 0xA00));
    in.subfiles[0].tre = treInfo(5, 2);
    DemInfo dem;
    dem.levelCount = 1;
    dem.levelRecordSize = 60;
    dem.firstLevel.assign(60, 0);
    put32(dem.firstLevel, 44, 0x10000000);
    put32(dem.firstLevel, 40, 0xF0000000);
    in.subfiles[1].dem = dem;
    LblInfo lbl;
    lbl.codePage = 1250;
    lbl.section184Length = 24;
    lbl.section184RecordSize = 12;
    lbl.section192Length = 100;
    in.subfiles[2].lbl = lbl;
    in.subfileIndex = {{0x600, 0, 0}, {0x800, 1, 1}, {0xA00, 2, 2}};
    MapEntry m = mapEntry("MAPA0001", mpcMap, 6000, 3, 1250);
    m.tre = &*in.subfiles[0].tre;
    addMap(in, m);
    addRecord(in, 'P', Body().u16(1));
    addRecord(in, 'M', Body().u32(0x1234));

    EXPECT_EQ(listing(in, true, false),
              "\n\n"
              "Plik:\t\tpl.img, długość 4096\n"
              "nagłówek: \t04.03.2021 05:06:07, DSKIMG, xor 00h, Ms 1\n"
              "zestaw:   \tTest maps\n"
              "fat:\t\t200h - 600h - 1A00h, blok 2048\n"
              "mapy:\t\t1, podzbiory 3\n"
              "\npodzbiór         fat    długość\n"
              " MAPA0001 TRE    600h      1000"
              "\n\tmapa 2a (42)"
              "\n\tdata 02.01.2010 03:04:05"
              "\n\tpriorytet 5, parametry 1 2 3 2, transparentna"
              "\n\tlevels [22,20], zoom [81,a]"
              "\n\tN: 180.000000, S: -0.000021, W: -180.000000, E: 90.000000"
              "\n"
              " MAPA0001 DEM    800h      2000"
              "\n\twarstwy DEM: 1, N: 22.500000, W: -22.500000"
              "\n"
              " MAPA0001 LBL    A00h      3000"
              "\n\tCP 1250"
              "\n\tBitmapy 2, rozmiar 100 (12)"
              "\n"s +
                  kMapHeadingPl +
                  " MAPA0001 MPC      6000  3" "  1250" "    5  T" "\n"
                  "\nrekordy MPS\n"
                  " P: dług 5\n"
                  " M: mapa 1234\n"
                  "\n\n");
}

// The columns after the subfile count, by what the map has.
TEST_F(InfoListing, MapRowColumns) {
    InputFile in = container("a.img", 1, "x");
    const TreInfo tre = treInfo(3, 0);
    AuxInfo typ = typInfo(11, 12);

    MapEntry shortRecord = mapEntry("SHORTREC", mpcMap, 100, 1);
    shortRecord.mps = addRecord(in, 'L', Body().u16(4).u8(0));  // 6 bytes: no IDs in it
    addMap(in, shortRecord);
    MapEntry zeroIds = mapEntry("ZEROIDS ", mpcMap, 100, 1);
    zeroIds.tre = &tre;
    zeroIds.mps = addRecord(in, 'L', Body().u16(0).u16(0));  // 7 bytes: IDs 0 0 shown
    addMap(in, zeroIds);
    MapEntry typWithRecord = mapEntry("TYPREC  ", typData, 100, 1);
    typWithRecord.aux = &typ;
    typWithRecord.mps = addMapRecord(in, 1, 2, "S\0D\0A\0"s, 7);  // the TYP's own IDs win
    addMap(in, typWithRecord);
    MapEntry texts = mapEntry("TEXTS   ", mpcMap, 100, 1, 437);
    texts.mps = addMapRecord(in, 0, 0, "First\0\0\0"s, 8);  // description and area empty
    addMap(in, texts);
    MapEntry badTyp = mapEntry("BADTYP  ", otherData, 100, 1);
    badTyp.aux = &typ;  // only a TYP group shows the TYP's IDs
    badTyp.badCount = 1;
    addMap(in, badTyp);

    const std::string rows =
        " SHORTREC MPC       100  1" "      " "        " "\n"
        " ZEROIDS  MPC       100  1" "      " "    3   " "   0     0" "\n"
        " TYPREC   TYP       100  1" "      " "        " "  11    12" "  D";
    const std::string textRow = " TEXTS    MPC       100  1" "   437" "        " "   0     0";
    const std::string badRow = " BADTYP    ?        100  1 ???\n";
    const std::string head = "\n\nFile:\t\ta.img, length 1\nHeader:   \t04.03.2021 05:06:07, DSKIMG, xor 00h, Ms 1\n"
                             "Mapset:   \tx\n"s + kMapHeadingEn;
    EXPECT_EQ(listing(in, false), head + rows + "\n" + textRow + "\n" + badRow + "\nData MPS\n\n\n");
    // With -v the area name follows, then the series name unless it is the
    // area name; "-" stands for an absent one.
    std::string verbose = listing(in, true);
    EXPECT_NE(verbose.find(rows + "  >A  >S\n" + textRow + "  >-  >First\n" + badRow), std::string::npos) << verbose;
}

TEST_F(InfoListing, CatalogueLinesByRecordLength) {
    InputFile in = container("a.img", 1, "x");
    addRecord(in, 'P', Body().u16(1));
    addRecord(in, 'P', Body().u16(1).u16(2));
    addRecord(in, 'P', Body().u16(1).u16(2).u16(10).u16(11).u16(12));
    addRecord(in, 'F', Body().u16(1));
    addRecord(in, 'F', Body().u16(3).u16(4));
    addRecord(in, 'F', Body().u16(5).u16(6).text(std::string(250, 'x')));  // cut at 198
    addRecord(in, 'V', Body());
    addRecord(in, 'V', Body().text("Name"));  // no zero before the last byte
    addRecord(in, 'V', Body().text("\0"s).u8(0xAB));
    addRecord(in, 'M', Body().u16(1));
    addRecord(in, 'M', Body().u32(0x1234));
    addRecord(in, 'M', Body().u32(0xABC).u32(0x12).u8(1).u8(3));
    addRecord(in, 'D', Body().u32(1).u16(0).u8(0));
    addRecord(in, 'D', Body().u32(5).u8(0).u8(2).u16(0));
    addRecord(in, 'L', Body().u16(1));
    addRecord(in, 'L', Body().u16(3).u16(4));
    addRecord(in, 'Z', Body().u8(0));
    addRecord(in, '\t', Body());

    const std::string head = "\n\nFile:\t\ta.img, length 1\nHeader:   \t04.03.2021 05:06:07, DSKIMG, xor 00h, Ms 1\n"
                             "Mapset:   \tx\n";
    const std::string fText = " F: PID 5, FID 6, " + std::string(198, 'x') + "\n";
    EXPECT_EQ(listing(in, false), head + "\nData MPS\n" + fText + " V: Name\n V:  (AB)\n\n\n");
    EXPECT_EQ(listing(in, true),
              head + "fat:\t\t200h - 600h - 1A00h, block 2048\nmaps:\t\t0, sub-files 0\n" +
                  "\nData MPS\n"
                  " P: len. 5\n"
                  " P: PID 1, FID 2\n"
                  " P: PID 1, FID 2, (A B C)\n"
                  " F: len. 5\n"
                  " F: PID 3, FID 4\n" +
                  fText +
                  " V: len. 3\n"
                  " V: Name\n"
                  " V:  (AB)\n"
                  " M: len. 5\n"
                  " M: map 1234\n"
                  " M: map ABC, levels [1 - 3], (0012)\n"
                  " D: len. 10\n"
                  " D: levels [0 - 2], (0005)\n"
                  " L: len. 5\n"
                  " L: PID 3, FID 4\n"
                  " Z: len. 4\n"
                  " .: len. 3\n"
                  "\n\n");
}

// The texts of an 'L' record end before its last 8 bytes.
TEST_F(InfoListing, MapRecordTexts) {
    InputFile in = container("a.img", 1, "x");
    addMapRecord(in, 1, 2, "Same\0Desc\0Same\0"s, 0x10, 0xFF);   // series once
    addMapRecord(in, 1, 2, "A\0\0C\0"s, 0x11);                    // empty description
    addMapRecord(in, 1, 2, "A\0B"s, 0x12);                        // B has no zero: absent
    addMapRecord(in, 1, 2, "Tab\tbed\0\0\0"s, 0x13);
    addRecord(in, 'L', Body().u16(1).u16(2).u32(9).text("\0\0\0"s).u32(0x14).u32(0));  // 22 bytes
    addRecord(in, 'L', Body().u16(1).u16(2).u32(9).u16(0).u32(0x15).u32(0));         // 21 bytes

    std::string out = listing(in, true);
    EXPECT_NE(out.find("\nData MPS\n"
                       " L: PID 1, FID 2, map 10, (100 FF),  Desc  >Same\n"
                       " L: PID 1, FID 2, map 11, (100 0),  -  >C  >A\n"
                       " L: PID 1, FID 2, map 12, (100 0),  -  >-  >A\n"
                       " L: PID 1, FID 2, map 13, (100 0),  -  >-  >Tab.bed\n"
                       " L: PID 1, FID 2, map 14, (9 0),  -  >-  >-\n"
                       " L: PID 1, FID 2\n"
                       "\n\n"),
              std::string::npos)
        << out;
}

TEST_F(InfoListing, SingleSubfileInputs) {
    InputFile typ;
    typ.path = "maps/style.typ";
    typ.size = 1234;
    typ.inputKind = 2;
    typ.detectedType = typeTyp;
    typ.rawLength = 1234;
    typ.pid = 7;
    typ.fid = 9;
    typ.single = subfile("style   TYP", typeTyp, 1234, 0);
    typ.single.aux = typInfo(7, 9);
    EXPECT_EQ(listing(typ, false),
              "\n\nFile:\t\tmaps/style.typ, length 1234\n"
              "\nData TYP:  length   1234, PID 7, FID 9, name style.typ\n"
              "\n\n");
    EXPECT_EQ(listing(typ, true),
              "\n\nFile:\t\tmaps/style.typ, length 1234\n"
              "\nData TYP:  length   1234, PID 7, FID 9, name style.typ"
              "\n\tdate 01.02.2019 10:20:30, CP 1252, PID 7, FID 9\n"
              "\n\n");
    EXPECT_EQ(listing(typ, false, false),
              "\n\nPlik:\t\tmaps/style.typ, długość 1234\n"
              "\nDane TYP:  długość   1234, PID 7, FID 9, nazwa style.typ\n"
              "\n\n");

    InputFile other;
    other.path = "blob.bin";
    other.size = 10;
    other.inputKind = 11;
    other.rawLength = 10;
    EXPECT_EQ(listing(other, true), "\n\nFile:\t\tblob.bin, length 10\n\nData  ? :  length     10, name blob.bin\n\n\n");
    other.detectedType = typeRgn;
    EXPECT_EQ(listing(other, false), "\n\nFile:\t\tblob.bin, length 10\n\nData RGN:  length     10, name blob.bin\n\n\n");
    other.inputKind = 12;
    EXPECT_EQ(listing(other, false), "\n\nFile:\t\tblob.bin, length 10\n\nData  ??:  length     10, name blob.bin\n\n\n");
    other.inputKind = 4;
    EXPECT_EQ(listing(other, false), "\n\nFile:\t\tblob.bin, length 10\n\nData MD2:  length     10, name blob.bin\n\n\n");
}

TEST_F(InfoListing, TreNoticesSplitAtZerosAndCutLongOnes) {
    Subfile s = subfile("NOTICES TRE", typeTre, 1000, 0);
    TreInfo tre = treInfo(1, 0);
    tre.levels.clear();
    tre.levelsSize = 0;
    const std::string fixed = "\n\tmap 2a (42)\n\tdate 02.01.2010 03:04:05\n\tpriority 1, parameters 1 2 3 0"
                              "\n\tlevels [], zoom []\n\tN: 180.000000, S: -0.000021, W: -180.000000, E: 90.000000";
    auto withNotices = [&](const std::string& bytes, std::int64_t dataStart) {
        TreInfo t = tre;
        putText(t.header, 120, bytes);
        t.dataStart = static_cast<std::uint32_t>(dataStart);
        s.tre = t;
        return details(s);
    };
    // 200 characters: a piece of 198, the next character with it, then the rest.
    // 198 characters followed by a control byte: that byte shows as ".".
    std::string bytes = std::string(200, 'a') + "\0"s + std::string(198, 'b') + "\x01" "cd" "Z";
    EXPECT_EQ(withNotices(bytes, 120 + static_cast<std::int64_t>(bytes.size())),
              fixed + "\n\t" + std::string(199, 'a') + "\n\ta" + "\n\t" + std::string(198, 'b') + ".\n\tcd");
    // A 198-character notice that fills the range takes nothing from beyond it.
    EXPECT_EQ(withNotices(std::string(198, 'e') + "f", 120 + 199), fixed + "\n\t" + std::string(198, 'e'));
    // A 199-character one in a longer range keeps its last character.
    EXPECT_EQ(withNotices(std::string(199, 'e') + "\0Z"s, 120 + 201), fixed + "\n\t" + std::string(199, 'e'));
    // The range ends at the bytes held, whatever dataStart says.
    EXPECT_EQ(withNotices("0123456789", 100000), fixed + "\n\t0123456789");
    // No notices when the data starts at or before the header's end, or at 0.
    EXPECT_EQ(withNotices("0123456789", 121), fixed);
    EXPECT_EQ(withNotices("0123456789", 0), fixed);
    EXPECT_EQ(withNotices("0123456789", 50), fixed);
}

TEST_F(InfoListing, TreBoundsAroundTheWrapValue) {
    Subfile s = subfile("BOUNDS  TRE", typeTre, 1000, 0);
    TreInfo tre = treInfo(1, 0);
    put24(tre.header, 0x15, 0x800001);  // north: past +180 is negative
    put24(tre.header, 0x18, 0x7FFFFF);
    put24(tre.header, 0x1B, 0x800000);  // south: -180
    put24(tre.header, 0x1E, 0x000001);
    put16(tre.header, 0, 119);  // no map ID line at this length
    s.tre = tre;
    EXPECT_EQ(details(s),
              "\n\tdate 02.01.2010 03:04:05\n\tpriority 1, parameters 1 2 3 0\n\tlevels [22,20], zoom [81,a]"
              "\n\tN: -179.999979, S: -180.000000, W: 0.000021, E: 179.999979");
}

TEST_F(InfoListing, AuxAndGmpDetails) {
    Subfile gmp = subfile("GMP00001GMP", typeGmp, 10000, 0);
    gmp.gmpParts = std::array<std::uint32_t, gmpPartCount>{0x31, 0x100, 0x200, 0, 0x300, 0x400};
    DemInfo dem;
    dem.levelCount = 2;
    dem.levelRecordSize = 47;  // too small to hold the corner
    gmp.dem = dem;
    EXPECT_EQ(details(gmp), "\n\tGMP:  TRE RGN LBL NOD DEM");

    Subfile trf = subfile("ROUTES  TRF", typeTrf, 100, 0);
    AuxInfo t;
    t.type = typeTrf;
    t.header.assign(73, 0);
    put16(t.header, 0x0E, 2020);
    t.header[0x10] = 12;
    t.header[0x11] = 31;
    t.codePage = 65;
    trf.aux = t;
    EXPECT_EQ(details(trf), "\n\tdate 31.12.2020 00:00:00, CP   65");

    Subfile mmr = subfile("MARINE  MMR", typeMmr, 200, 0);
    AuxInfo m;
    m.type = typeMmr;
    m.header.assign(150, 0);
    putText(m.header, 0x0E, "Ab\x01" "c\x7F" "\0zz"s);
    m.codePage = 1250;
    m.mapRef = 500;
    mmr.aux = m;
    EXPECT_EQ(details(mmr), "\n\tmap 1f4 (500)\n\tCP 1250, Ab c.");
    mmr.aux->mapRef = 0;
    putText(mmr.aux->header, 0x0E, std::string(25, 'q'));  // at most 19 characters
    EXPECT_EQ(details(mmr), "\n\tCP 1250, " + std::string(19, 'q'));
    mmr.aux->header[0x0E] = 0;
    EXPECT_EQ(details(mmr, false), "\n\tCP 1250");

    Subfile md2 = subfile("MD2FILE MD2", typeMd2, 300, 0);
    AuxInfo d;
    d.type = typeMd2;
    d.header.assign(236, 0);
    put16(d.header, 0x04, 2022);
    d.header[0x06] = 6;
    d.header[0x07] = 15;
    d.header[0x08] = 12;
    putText(d.header, 0x5B, "Seventeen\x02letters");  // at most 13 characters
    md2.aux = d;
    EXPECT_EQ(details(md2), "\n\tdate 15.06.2022 12:00:00\n\tSeventeen let");
    md2.aux->header[0x5B] = 0;
    EXPECT_EQ(details(md2, false), "\n\tdata 15.06.2022 12:00:00");
}

// Every length in the model came from a file; none of them may lead the
// listing outside the bytes it holds.
TEST_F(InfoListing, HostileModelStaysInsideItsBytes) {
    InputFile in = container("bad.img", 1, "x");
    in.img.headerBytes.resize(0x3C);  // cut inside the date
    in.subfiles.push_back(subfile("CUT     TRE", typeTre, 10, 0x600));
    TreInfo tre;
    tre.header = {0xFF, 0xFF};  // claims a long header
    tre.levelsSize = 128;       // but holds one level record
    tre.levels = {1, 2, 3, 4};
    tre.dataStart = 0xFFFFFFFF;
    in.subfiles[0].tre = tre;
    DemInfo dem;
    dem.levelCount = 1;
    dem.levelRecordSize = 100;  // without the record's bytes
    in.subfiles[0].dem = dem;
    AuxInfo aux;
    aux.type = typeMd2;  // no header bytes at all
    in.subfiles[0].aux = aux;
    in.subfileIndex = {{0x600, 0, 0}, {0x800, 1, 7}};
    MapEntry m = mapEntry("CUT     ", mpcMap, 10, 1);
    m.tre = &*in.subfiles[0].tre;
    m.mps = 99;  // no such record
    addMap(in, m);
    in.mapList.push_back(42);  // no such map
    addRecord(in, 'F', Body().u16(1).u16(2).text("Fam\0"s));
    in.mpsRecords.back().length = 300;  // runs into the next record and past the data
    MapEntry linked = mapEntry("LINKED  ", mpcMap, 10, 1);
    linked.mps = addRecord(in, 'L', Body().u16(1).u16(2).u32(3).text("NoEnd"));
    in.mpsRecords.back().length = 400;  // longer than the data
    addMap(in, linked);
    MpsRecord beyond;
    beyond.type = 'V';
    beyond.offset = 5000;
    beyond.length = 40;
    in.mpsRecords.push_back(beyond);

    const std::string out = listing(in, true);
    EXPECT_NE(out.find("Header:   \t00.03.2021 00:00:00, DSKIMG, xor 00h, Ms 1\nMapset:   \t\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find(" CUT      TRE    600h        10"
                       "\n\tmap 0 (0)\n\tdate 00.01.1900 00:00:00\n\tpriority 0, parameters 0 0 0 0"
                       "\n\tlevels [2], zoom [1]\n\tN: 0.000000, S: 0.000000, W: 0.000000, E: 0.000000"
                       "\n\tDEM layers: 1, N: 0.000000, W: 0.000000"
                       "\n\tdate 00.01.1900 00:00:00\n"
                       " ???             800h\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(" CUT      MPC        10  1" "      " "    0   " "\n"
                       " LINKED   MPC        10  1" "      " "        " "   1     2  >-  >-\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(" F: PID 1, FID 2, Fam\n L: PID 1, FID 2, map 0, (3 0),  -  >-  >-\n V:  (0)\n\n\n"),
              std::string::npos)
        << out;
}

}  // namespace
