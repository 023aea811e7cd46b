#include "info/info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "common/message.h"
#include "common/options.h"
#include "info/info_details.h"

namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

// `n` little-endian bytes of `v` at `at`, growing `b` as needed.
void put(Bytes& b, std::size_t at, std::uint32_t v, int n) {
    if (b.size() < at + n) b.resize(at + n);
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putText(Bytes& b, std::size_t at, const std::string& s) {
    if (b.size() < at + s.size()) b.resize(at + s.size());
    std::memcpy(b.data() + at, s.data(), s.size());
}

// A record body built field by field.
struct Body {
    Bytes b;
    Body& u8(std::uint8_t v) { b.push_back(v); return *this; }
    Body& u16(std::uint16_t v) { put(b, b.size(), v, 2); return *this; }
    Body& u32(std::uint32_t v) { put(b, b.size(), v, 4); return *this; }
    Body& text(const std::string& s) { putText(b, b.size(), s); return *this; }
};

int addRecord(InputFile& in, char letter, const Body& body) {
    const auto at = static_cast<std::uint32_t>(in.mpsData.size()), size = static_cast<std::uint32_t>(body.b.size());
    in.mpsRecords.push_back({static_cast<std::uint8_t>(letter), 0, at, size + 3});
    in.mpsData.push_back(static_cast<std::uint8_t>(letter));
    put(in.mpsData, at + 1, size, 2);
    in.mpsData.insert(in.mpsData.end(), body.b.begin(), body.b.end());
    in.mpsLength = static_cast<std::uint32_t>(in.mpsData.size());
    return static_cast<int>(in.mpsRecords.size() - 1);
}

// An 'L' record: IDs, map number 100, the texts as given (zeros included),
// map ID and the trailing value.
int addMapRecord(InputFile& in, std::uint16_t pid, std::uint16_t fid, const std::string& texts, std::uint32_t mapId,
                 std::uint32_t tail = 0) {
    return addRecord(in, 'L', Body().u16(pid).u16(fid).u32(100).text(texts).u32(mapId).u32(tail));
}

// A container "a.img" dated 04.03.2021 05:06:07 whose description, padded
// with blanks to 50 bytes, is stored in its two pieces.
InputFile container(const std::string& description) {
    InputFile in;
    in.path = "a.img";
    in.size = 1;
    Bytes& h = in.img.headerBytes;
    h.assign(0x600, 0);
    h[0x0E] = 1;
    putText(h, 0x10, "DSKIMG");
    putText(h, 0x39, "\xE5\x07\3\4\5\6\7");
    std::string padded = description;
    padded.resize(50, ' ');
    putText(h, 0x49, padded.substr(0, 20));
    putText(h, 0x65, padded.substr(20));
    return in;
}

// A TRE header of length 120: date 2.1.2010 03:04:05 stored the old way,
// bounds N 0x800000, E 0x400000, S 0xFFFFFF, W 0x800000, parameters 1 2 3,
// two level records, map ID 0x2A; no free text.
TreInfo treInfo(std::uint8_t priority, std::uint8_t flags) {
    TreInfo t;
    Bytes& h = t.header;
    h.assign(120, 0);
    put(h, 0, 120, 2);
    putText(h, 2, "GARMIN TRE");
    putText(h, 0x0E, "\x6E\0\0\2\3\4\5"s);
    const std::uint32_t bounds[] = {0x800000, 0x400000, 0xFFFFFF, 0x800000};
    for (int i = 0; i < 4; ++i) put(h, 0x15 + 3 * i, bounds[i], 3);
    h[0x3F] = flags;
    h[0x40] = priority;
    putText(h, 0x43, "\1\2\3");
    put(h, 0x74, t.mapId = 0x2A, 4);
    t.headerRead = t.dataStart = 120;
    t.levelsSize = 8;
    t.levels = {0x81, 22, 1, 0, 0x0A, 20, 5, 0};
    return t;
}

Subfile subfile(const char* name11, SubfileType type, std::uint32_t size = 100, std::uint32_t fatOffset = 0) {
    Subfile s;
    std::memcpy(s.name, name11, 11);
    s.type = type;
    s.size = size;
    s.fatOffset = fatOffset;
    return s;
}

int addMap(InputFile& in, const char* name8, MapKind kind, std::uint32_t totalSize, std::uint32_t codePage = 0) {
    MapEntry& m = in.maps.emplace_back();
    std::memcpy(m.name, name8, 8);
    m.kind = kind;
    m.totalSize = totalSize;
    m.subfileCount = 1;
    m.codePage = codePage;
    in.mapList.push_back(static_cast<int>(in.maps.size() - 1));
    return in.mapList.back();
}

class InfoListing : public testing::Test {
protected:
    void TearDown() override {
        resetOptions();
        useEnglish = true;
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
    static std::string details(const Subfile& s) { return capture(true, true, [&] { printSubfileDetails(s); }); }
    // The output from `marker` on; all of it when the marker is missing.
    static std::string from(const std::string& out, const std::string& marker) {
        std::size_t at = out.find(marker);
        return at == std::string::npos ? out : out.substr(at);
    }
};

const std::string kHead = "\n\nFile:\t\ta.img, length 1\nHeader:   \t04.03.2021 05:06:07, DSKIMG, xor 00h, Ms 1\n";

// The pieces of the description join; trailing blanks, zero padding and
// control bytes go, those inside show as "."; version 0.0 is not shown.
TEST_F(InfoListing, HeaderAndMapsetLines) {
    const std::string full = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx";
    for (const auto& [description, major, minor, shown] :
         {std::tuple<std::string, std::uint8_t, std::uint8_t, std::string>{full, 0, 0, full},
          {"Topo", 0, 5, "Topo (0.05)"},
          {"Two  parts" + std::string(10, ' ') + "\0\x1F"s + std::string(28, '\0'), 0, 0, "Two  parts"},
          {"A\tB\x7F" "C", 0, 0, "A.B.C"}}) {
        InputFile in = container(description);
        in.img.headerBytes[0x08] = major;
        in.img.headerBytes[0x09] = minor;
        EXPECT_EQ(listing(in, false), kHead + "Mapset:   \t" + shown + "\n\n\n");
    }
    // Polish labels are padded by characters, not bytes.
    EXPECT_EQ(listing(container("x"), false, false),
              "\n\nPlik:\t\ta.img, długość 1\n"
              "nagłówek: \t04.03.2021 05:06:07, DSKIMG, xor 00h, Ms 1\nzestaw:   \tx\n\n\n");
}

// The columns after the subfile count, by what the map has; with -v also the
// subfile rows: a mark after a bad one, "???" for an entry without subfile.
TEST_F(InfoListing, MapAndSubfileRows) {
    InputFile in = container("x");
    const TreInfo tre = treInfo(3, 0);
    const AuxInfo typ{.header = {}, .fid = 12, .pid = 11};

    in.maps[addMap(in, "SHORTREC", mpcMap, 100)].mps = addRecord(in, 'L', Body().u16(4).u8(0));  // no IDs in it
    MapEntry& zeroIds = in.maps[addMap(in, "ZEROIDS ", mpcMap, 100)];
    zeroIds.tre = &tre;
    zeroIds.mps = addRecord(in, 'L', Body().u16(0).u16(0));  // 7 bytes: IDs 0 0 shown
    MapEntry& typWithRecord = in.maps[addMap(in, "TYPREC  ", typData, 100)];
    typWithRecord.aux = &typ;
    typWithRecord.mps = addMapRecord(in, 1, 2, "A\0D\0A\0"s, 7);  // the TYP's own IDs win
    in.maps[addMap(in, "TEXTS   ", mpcMap, 100, 437)].mps = addMapRecord(in, 0, 0, "First\0\0\0"s, 8);
    in.maps[addMap(in, "IDSONLY ", typData, 100)].aux = &typ;
    MapEntry& badTyp = in.maps[addMap(in, "BAD\x01TYP ", otherData, 100)];
    badTyp.aux = &typ;  // only a TYP group shows the TYP's IDs
    badTyp.badCount = 1;
    in.maps[addMap(in, "CPONLY  ", trfData, 100, 1252)].aux = &typ;

    const std::string rows =
        " SHORTREC MPC       100  1" "      " "        " "\n"
        " ZEROIDS  MPC       100  1" "      " "    3   " "   0     0" "\n"
        " TYPREC   TYP       100  1" "      " "        " "  11    12" "  D";
    const std::string textRow = " TEXTS    MPC       100  1" "   437" "        " "   0     0";
    const std::string lastRows = " IDSONLY  TYP       100  1" "      " "        " "  11    12" "\n"
                                 " BAD.TYP   ?        100  1 ???\n"
                                 " CPONLY   TRF       100  1  1252\n";
    const std::string heading = "\nMap              length s-f  CP    prio  PID   FID  name\n";
    EXPECT_EQ(from(listing(in, false), "\nMap "),
              heading + rows + "\n" + textRow + "\n" + lastRows + "\nData MPS\n\n\n");

    in.subfiles.push_back(subfile("MYTYP   TYP", typeTyp, 500, 0xA00));
    in.subfiles.push_back(subfile("X\x01Y\x7F    BIN", typeOther, 42, 0xC00));
    in.subfiles[1].bad = 1;
    in.subfileIndex = {{0x900, 2, -1}, {0xA00, 0, 0}, {0xC00, 3, 1}};
    // With -v the area name follows, then the series name unless it is the
    // same; "-" stands for an absent one.
    EXPECT_EQ(from(listing(in, true), "\nSub-file"),
              "\nSub-file         fat     length\n ???             900h\n MYTYP    TYP    A00h       500\n"
              " X.Y.     BIN    C00h        42 ???\n" + heading + rows + "  >A\n" + textRow + "  >-  >First\n" +
                  lastRows + "\nData MPS\n L: len. 6\n L: PID 0, FID 0\n L: PID 1, FID 2, map 7, (100 0),  D  >A\n"
                  " L: PID 0, FID 0, map 8, (100 0),  -  >-  >First\n\n\n");
}

// Each record kind by length; an F text is cut at 198 characters, a V text
// is followed by its last byte only when a zero precedes that byte.
TEST_F(InfoListing, CatalogueLinesByRecordLength) {
    InputFile in = container("x");
    const std::pair<char, Body> records[] = {
        {'P', Body().u16(1)}, {'P', Body().u16(1).u16(2)}, {'P', Body().u16(1).u16(2).u16(10).u16(11).u16(12)},
        {'F', Body().u16(1)}, {'F', Body().u16(3).u16(4)}, {'F', Body().u16(5).u16(6).text(std::string(250, 'x'))},
        {'V', Body()}, {'V', Body().text("Name")}, {'V', Body().text("\0"s).u8(0xAB)},
        {'M', Body().u16(1)}, {'M', Body().u32(0x1234)}, {'M', Body().u32(0xABC).u32(0x12).u8(1).u8(3)},
        {'D', Body().u32(1).u16(0).u8(0)}, {'D', Body().u32(5).u8(0).u8(2).u16(0)},
        {'L', Body().u16(1)}, {'L', Body().u16(3).u16(4)}, {'Z', Body().u8(0)}, {'\t', Body()}};
    for (const auto& [letter, body] : records) addRecord(in, letter, body);

    const std::string fText = " F: PID 5, FID 6, " + std::string(198, 'x') + "\n";
    EXPECT_EQ(listing(in, false), kHead + "Mapset:   \tx\n\nData MPS\n" + fText + " V: Name\n V:  (AB)\n\n\n");
    EXPECT_EQ(from(listing(in, true), "\nData MPS"),
              "\nData MPS\n P: len. 5\n P: PID 1, FID 2\n P: PID 1, FID 2, (A B C)\n F: len. 5\n F: PID 3, FID 4\n" +
                  fText + " V: len. 3\n V: Name\n V:  (AB)\n M: len. 5\n M: map 1234\n"
                  " M: map ABC, levels [1 - 3], (0012)\n D: len. 10\n D: levels [0 - 2], (0005)\n"
                  " L: len. 5\n L: PID 3, FID 4\n Z: len. 4\n .: len. 3\n\n\n");
}

// The texts of an 'L' record end before its last 8 bytes.
TEST_F(InfoListing, MapRecordTexts) {
    InputFile in = container("x");
    addMapRecord(in, 1, 2, "Same\0Desc\0Same\0"s, 0x10, 0xFF);  // series once
    addMapRecord(in, 1, 2, "A\0\0C\0"s, 0x11);                   // empty description
    addMapRecord(in, 1, 2, "A\0B"s, 0x12);                       // B has no zero: absent
    addMapRecord(in, 1, 2, "Tab\tbed\0\0\0"s, 0x13);
    addRecord(in, 'L', Body().u16(1).u16(2).u32(9).text("\0\0\0"s).u32(0x14).u32(0));  // 22 bytes
    addRecord(in, 'L', Body().u16(1).u16(2).u32(9).u16(0).u32(0x15).u32(0));         // 21 bytes
    EXPECT_EQ(from(listing(in, true), "\nData MPS"),
              "\nData MPS\n"
              " L: PID 1, FID 2, map 10, (100 FF),  Desc  >Same\n"
              " L: PID 1, FID 2, map 11, (100 0),  -  >C  >A\n"
              " L: PID 1, FID 2, map 12, (100 0),  -  >-  >A\n"
              " L: PID 1, FID 2, map 13, (100 0),  -  >-  >Tab.bed\n"
              " L: PID 1, FID 2, map 14, (9 0),  -  >-  >-\n"
              " L: PID 1, FID 2\n\n\n");
}

// A stand-alone input shows its kind, or for an unknown kind the detected type.
TEST_F(InfoListing, SingleInputKinds) {
    InputFile in;
    in.path = "dir/blob.bin";
    in.size = in.rawLength = 10;
    for (auto [kind, type, shown] : {std::tuple<int, SubfileType, const char*>{4, typeNone, "MD2"},
                                     {11, typeNone, " ? "}, {11, typeRgn, "RGN"}, {12, typeRgn, " ??"}}) {
        in.inputKind = static_cast<std::uint8_t>(kind);
        in.detectedType = type;
        EXPECT_EQ(listing(in, true),
                  "\n\nFile:\t\tdir/blob.bin, length 10\n\nData "s + shown + ":  length     10, name blob.bin\n\n\n");
    }
}

// The free text after the header, the map ID line, and the bounds that take
// 0x800000 by side.
TEST_F(InfoListing, TreNoticesAndBounds) {
    Subfile s = subfile("NOTICES TRE", typeTre);
    s.tre = treInfo(1, 0);
    const std::string fixed = details(s);  // without free text
    auto withNotices = [&](const std::string& bytes, std::int64_t dataStart) {
        s.tre = treInfo(1, 0);
        putText(s.tre->header, 120, bytes);
        s.tre->dataStart = static_cast<std::uint32_t>(dataStart);
        return details(s);
    };
    // 200 characters: a piece of 198, the next character with it, then the
    // rest; a control byte after 198 characters joins them as ".".
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
    for (std::int64_t dataStart : {121, 50, 0}) EXPECT_EQ(withNotices("0123456789", dataStart), fixed);

    s.tre = treInfo(1, 0);
    Bytes& h = s.tre->header;
    const std::uint32_t bounds[] = {0x800001, 0x800000, 0x800000, 0x000001};  // N, E, S, W
    for (int i = 0; i < 4; ++i) put(h, 0x15 + 3 * i, bounds[i], 3);
    for (std::uint16_t length : {119, 120}) {
        put(h, 0, length, 2);  // the map ID line from 120 bytes on
        EXPECT_EQ(details(s), (length == 120 ? "\n\tmap 2a (42)"s : "") + "\n\tdate 02.01.2010 03:04:05"
                              "\n\tpriority 1, parameters 1 2 3 0\n\tlevels [22,20], zoom [81,a]"
                              "\n\tN: -179.999979, S: -180.000000, W: 0.000021, E: 180.000000");
    }
}

TEST_F(InfoListing, GmpLblDemAndAuxDetails) {
    Subfile gmp = subfile("GMP00001GMP", typeGmp);
    gmp.gmpParts = std::array<std::uint32_t, gmpPartCount>{0x31, 0x100, 0x200, 0, 0x300, 0x400};
    gmp.dem = DemInfo{.levelCount = 2, .levelRecordSize = 47, .header = {}, .firstLevel = {}};  // too small
    EXPECT_EQ(details(gmp), "\n\tGMP:  TRE RGN LBL NOD DEM");

    // The bitmaps line needs all three values.
    Subfile lbl = subfile("LABELS  LBL", typeLbl);
    for (int zero = 0; zero < 4; ++zero) {
        lbl.lbl = LblInfo{.section184Length = zero == 1 ? 0u : 120u, .section184RecordSize = zero == 2 ? 0u : 12u,
                          .section192Length = zero == 3 ? 0u : 5000u, .codePage = 1250, .header = {},
                          .sortName = {'S', 'o', 'r', 't', '\0'}};
        EXPECT_EQ(details(lbl), zero ? "\n\tCP 1250, Sort" : "\n\tCP 1250, Sort\n\tBitmaps 10, size 5000 (12)") << zero;
    }
    lbl.lbl->sortName.clear();
    EXPECT_EQ(details(lbl), "\n\tCP 1250");

    // The MMR text: control bytes blank, DEL ".", at most 19 characters.
    Subfile mmr = subfile("MARINE  MMR", typeMmr);
    mmr.aux = AuxInfo{.type = typeMmr, .header = {}, .codePage = 1250, .mapRef = 500};
    putText(mmr.aux->header, 0x0E, "Ab\x01" "c\x7F" "\0zz"s);
    EXPECT_EQ(details(mmr), "\n\tmap 1f4 (500)\n\tCP 1250, Ab c.");
    mmr.aux->mapRef = 0;
    putText(mmr.aux->header, 0x0E, std::string(25, 'q'));
    EXPECT_EQ(details(mmr), "\n\tCP 1250, " + std::string(19, 'q'));
    mmr.aux->header[0x0E] = 0;
    EXPECT_EQ(details(mmr), "\n\tCP 1250");

    // The MD2 date sits at 0x04; its text has at most 13 characters.
    Subfile md2 = subfile("MD2FILE MD2", typeMd2);
    md2.aux = AuxInfo{.type = typeMd2, .header = {}};
    putText(md2.aux->header, 0x04, "\xE6\x07\x06\x0F\x0C"s);
    putText(md2.aux->header, 0x5B, "Seventeen\x02letters");
    EXPECT_EQ(details(md2), "\n\tdate 15.06.2022 12:00:00\n\tSeventeen let");
}

// Every length in the model came from a file; none of them may lead the
// listing outside the bytes it holds.
TEST_F(InfoListing, HostileModelStaysInsideItsBytes) {
    InputFile in = container("x");
    in.img.headerBytes.resize(0x3C);  // cut inside the date
    Subfile& s = in.subfiles.emplace_back(subfile("CUT     TRE", typeTre, 10, 0x600));
    // A header claiming to be long, 32 levels with one held, a DEM level
    // record and an MD2 header without their bytes.
    s.tre = TreInfo{.dataStart = 0xFFFFFFFF, .levelsSize = 128, .header = {0xFF, 0xFF}, .levels = {1, 2, 3, 4}};
    s.dem = DemInfo{.levelCount = 1, .levelRecordSize = 100, .header = {}, .firstLevel = {}};
    s.aux = AuxInfo{.type = typeMd2, .header = {}};
    in.subfileIndex = {{0x600, 0, 0}, {0x800, 1, 7}};
    MapEntry& cut = in.maps[addMap(in, "CUT     ", mpcMap, 10)];
    cut.tre = &*s.tre;
    cut.mps = 99;              // no such record
    in.mapList.push_back(42);  // no such map
    addRecord(in, 'F', Body().u16(1).u16(2).text("Fam\0"s));
    in.mpsRecords.back().length = 300;  // runs into the next record and past the data
    in.maps[addMap(in, "LINKED  ", mpcMap, 10)].mps = addRecord(in, 'L', Body().u16(1).u16(2).u32(3).text("NoEnd"));
    in.mpsRecords.back().length = 400;              // longer than the data
    in.mpsRecords.push_back({'V', 0, 5000, 40});  // beyond the data

    EXPECT_EQ(from(listing(in, true), "Header:"),
              "Header:   \t00.03.2021 00:00:00, DSKIMG, xor 00h, Ms 1\nMapset:   \t\nfat:\t\t0h - 0h - 0h, block 0\n"
              "maps:\t\t2, sub-files 1\n\nSub-file         fat     length\n CUT      TRE    600h        10"
              "\n\tmap 0 (0)\n\tdate 00.01.1900 00:00:00\n\tpriority 0, parameters 0 0 0 0"
              "\n\tlevels [2], zoom [1]\n\tN: 0.000000, S: 0.000000, W: 0.000000, E: 0.000000"
              "\n\tDEM layers: 1, N: 0.000000, W: 0.000000\n\tdate 00.01.1900 00:00:00\n ???             800h\n"
              "\nMap              length s-f  CP    prio  PID   FID  name\n"
              " CUT      MPC        10  1" "      " "    0   " "\n"
              " LINKED   MPC        10  1" "      " "        " "   1     2  >-  >-\n"
              "\nData MPS\n F: PID 1, FID 2, Fam\n L: PID 1, FID 2, map 0, (3 0),  -  >-  >-\n V:  (0)\n\n\n");
}

}  // namespace
