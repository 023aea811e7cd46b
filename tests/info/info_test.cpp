// What the listing goldens cannot reach: a model holding whatever a hostile
// file had. Its lengths came from the file; none may lead the listing outside
// the bytes held, and no control byte may reach the console.
#include "info/info.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/message.h"
#include "support/img_builder.h"

namespace {

using namespace std::string_literals;

TEST(InfoListing, HostileModelStaysInsideItsBytes) {
    const std::pair<Bytes, std::string> records[] = {  // each kind of catalogue record by its length
        {mpsRecord('P', Fields().u16(1)), " P: len. 5"},
        {mpsRecord('F', Fields().u16(1)), " F: len. 5"},
        {mpsRecord('F', Fields().u16(5).u16(6).text(std::string(250, 'x'))),
         " F: PID 5, FID 6, " + std::string(198, 'x')},
        {mpsRecord('V', Fields().text("N\x1b[2J").u8(0).u8(0xAB)), " V: N.[2J (AB)"},  // a zero, then a last byte
        {mpsRecord('D', Fields().u32(1).u16(0).u8(0)), " D: len. 10"},
        {mpsRecord('\t', {}), " .: len. 3"},
        // The texts of an 'L' record end before its last 8 bytes; one without its NUL is absent.
        {recordL(1, 2, 16, {"Same", "Desc", "Same"}, 0x10), " L: PID 1, FID 2, map 10, (16 0),  Desc  >Same"},
        {recordL(1, 2, 9, {"A", "", "C"}, 0x11), " L: PID 1, FID 2, map 11, (9 0),  -  >C  >A"},
        {mpsRecord('L', Fields().u16(1).u16(2).u32(9).text("A\0B"s).u32(0x12).u32(0)),
         " L: PID 1, FID 2, map 12, (9 0),  -  >-  >A"},
        {recordL(1, 2, 9, {"", "", ""}, 0x14), " L: PID 1, FID 2, map 14, (9 0),  -  >-  >-"},  // 22 bytes
        {mpsRecord('L', Fields().u16(1).u16(2).u32(9).u16(0).u32(0x15).u32(0)), " L: PID 1, FID 2"},  // 21 bytes
        // Said to be 300 and 400 bytes long: into the next record and past the data.
        {mpsRecord('F', Fields().u16(1).u16(2).text("Fam\0"s)), " F: PID 1, FID 2, Fam"},
        {mpsRecord('L', Fields().u16(1).u16(2).u32(3).text("NoEnd")), " L: PID 1, FID 2, map 0, (3 0),  -  >-  >-"},
    };
    InputFile in;
    in.path = "a.img";
    in.img.headerBytes = Fields().text(std::string(0x10, '\0') + "DSKIMG" + std::string(0x23, '\0') + "\xE5\x07\x03");
    std::string catalogue;  // the listing's last lines
    for (const auto& [record, line] : records) {
        in.mpsRecords.push_back({record[0], 0, uint32_t(in.mpsData.size()), uint32_t(record.size())});
        in.mpsData.insert(in.mpsData.end(), record.begin(), record.end());
        catalogue += line + "\n";
    }
    in.mpsRecords.end()[-2].length = 300;
    in.mpsRecords.back().length = 400;
    in.mpsRecords.push_back({'V', 0, 5000, 40});  // beyond the data
    // A TRE header claiming to be long, 32 levels with one held, a DEM level
    // record and an MD2 header without their bytes; a name of control bytes.
    for (const char* name : {"CUT     TRE", "X\x01Y\x7F\x1b[2JBIN"})
        std::memcpy(in.subfiles.emplace_back().name.c, name, 11);
    in.subfiles[0].tre =
        TreInfo{.dataStart = 0xFFFFFFFF, .levelsSize = 128, .header = {0xFF, 0xFF}, .levels = {1, 2, 3, 4}};
    in.subfiles[0].dem = DemInfo{.levelCount = 1, .levelRecordSize = 100, .header = {}, .firstLevel = {}};
    in.subfiles[0].aux = AuxInfo{.type = typeMd2, .header = {}};
    in.subfiles[1].bad = 1;
    in.subfileIndex = {{0x600, 0, 0}, {0x700, 0, 1}, {0x800, 1, 7}};  // no subfile 7
    for (const char* name : {"CUT     ", "LINKED  "}) std::memcpy(in.maps.emplace_back().name.c, name, 8);
    in.maps[0].treSubfile = 0;
    in.maps[0].mps = 99;  // no such record
    in.maps[1].mps = int(std::size(records)) - 1;
    in.mapList = {0, 1, 42};  // no map 42
    useEnglish = true;
    testing::internal::CaptureStdout();
    printInfo(in, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n\nFile:\t\ta.img, length 0\n"
              "Header:   \t00.03.2021 00:00:00, DSKIMG, xor 00h, Ms 0\nMapset:   \t\nfat:\t\t0h - 0h - 0h, block 0\n"
              "maps:\t\t2, sub-files 2\n\nSub-file         fat     length\n CUT      TRE      0h         0"
              "\n\tmap 0 (0)\n\tdate 00.01.1900 00:00:00\n\tpriority 0, parameters 0 0 0 0"
              "\n\tlevels [2], zoom [1]\n\tN: 0.000000, S: 0.000000, W: 0.000000, E: 0.000000"
              "\n\tDEM layers: 1, N: 0.000000, W: 0.000000\n\tdate 00.01.1900 00:00:00\n"
              " X.Y..[2J BIN      0h         0 ???\n ???             800h\n"
              "\nMap              length s-f  CP    prio  PID   FID  name\n"
              " CUT       -          0  0      " "    0   \n"
              " LINKED    -          0  0      " "           1     2  >-  >-\n"
              "\nData MPS\n" + catalogue + " V:  (0)\n\n\n");
}

}  // namespace
