// The reader against containers from the independent test builder: FAT
// layouts, recognition limits, grouping into maps and catalogue linking.
#include "img/model/input_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/message.h"
#include "support/img_builder.h"
#include "support/test_file_system.h"

namespace {

Bytes lRecord(uint32_t mapId) { return recordL(1, 2, 5, {"S", "D", "A"}, mapId); }

class Reader : public ::testing::Test {
protected:
    InstalledFileSystem fs;
    InputFile in;
    std::string out;

    bool read(const Bytes& image, bool verbose = false) {
        useEnglish = true;
        fs.addFile("t.img", image);
        in = InputFile{};
        in.path = "t.img";
        testing::internal::CaptureStdout();
        const bool ok = readInput(in, {verbose, false});
        out = testing::internal::GetCapturedStdout();
        return ok;
    }
};

// An edit of a container with X.RGN and Y.RGN in two entries each: the message it is refused with, or the block
// size, the FAT's start and kept length, and X's and Y's last bytes read through the FAT ("?" past the end).
TEST_F(Reader, FatLayoutsAndLimits) {
    const std::tuple<const char*, uint32_t, uint32_t, std::function<void(ImgPlan&)>, std::string> cases[] = {
        // As built, the FAT slots hold the header, X parts 0 and 1, Y parts 0 and 1, then the free ones.
        {"parts interleaved", 3, 1, [](ImgPlan& p) { std::swap(p.entries[2], p.entries[3]); }, "512 512 3072 17 34"},
        {"scrambled, two free entries trimmed", 2, 1, [](ImgPlan& p) { p.xorByte = 0x5A; }, "512 512 3072 17 34"},
        {"block exponent 11, one free entry", 1, 1, [](ImgPlan& p) { p.header[0x62] = 11; }, "1048576 512 3584 ? ?"},
        {"block exponent 12", 1, 1, [](ImgPlan& p) { p.header[0x62] = 12; }, "Wrong header (block size)"},
        {"FAT ending at the file's end", 4, 1, [](ImgPlan& p) { p.fileSize = 5120; }, "512 512 3072 ? ?"},
        {"FAT beyond the file's end", 4, 1, [](ImgPlan& p) { p.fileSize = 5119; }, "Wrong header (fat size)"},
        {"header entry of 4 GiB", 4, 1, [](ImgPlan& p) { p.entries[0].size = 0xFFFFFFF0; }, "Wrong header (fat size)"},
        {"FAT in sector 3, 0x40 saying 1", 1, 3, [](ImgPlan& p) { p.header[0x40] = 1; }, "512 1536 4608 17 34"},
        {"0x40 saying 0 in a short file: searched from its end", 1, 1, [](ImgPlan& p) {
             p.header[0x40] = 0;
             p.fileSize = 4000;
         }, "512 512 3584 ? ?"},
        {"'G' at 0x41, not \"GARMIN\"", 1, 1, [](ImgPlan& p) { p.header[0x42] = 'X'; }, "Wrong header (DSKIMG GARMIN)"},
        {"wrong part number", 1, 1, [](ImgPlan& p) { p.entries[2].part = 2; }, "Wrong FAT for subfile X       RGN"},
    };
    for (const auto& [what, spareEntries, fatSector, edit, expected] : cases) {
        ImgPlan p = planImg({.fatStartSector = fatSector, .spareEntries = spareEntries,
                             .subfiles = {{"X", "RGN", Bytes(241 * 512, 0x11)}, {"Y", "RGN", Bytes(241 * 512, 0x22)}}});
        edit(p);
        const bool ok = read(renderImg(p)) && openContainer(in, OpenMode::read);
        std::string got = std::to_string(in.img.blockSize) + " " + std::to_string(in.img.fatStart) + " " +
                          std::to_string(in.img.fatLength);
        testing::internal::CaptureStdout();
        for (const Subfile& f : in.subfiles) {
            uint8_t last = 0;
            got += readSubfileBytes(in, f.firstFat, f.size - 1, 1, &last) ? " " + std::to_string(last) : " ?";
        }
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(ok ? got : out, ok ? expected : expected + ", file t.img.\n") << what;
    }
}

// The maps in FAT order: kind, name, subfiles, and what is not 0 ("L": the
// linked catalogue record, counted from 1).
TEST_F(Reader, GroupingAndCatalogueLinks) {
    const Bytes tooShort = mpsRecord('L', {1, 0, 2, 0}), v = mpsRecord('V', {});
    const std::pair<std::vector<ImgSubfile>, std::string> cases[] = {
        // A TYP of the same name between the members splits them.
        {{{"M1", "TRE", treSubfile(0)}, {"M1", "RGN", {1}}, {"M1", "TYP", {1}}, {"M1", "LBL", {1}}, {"M1", "NOD", {1}}},
         "MPC M1 2|TYP M1 1|MPC M1 2 nod|"},
        // Sort tables join maps and indexes; a repeated type starts a new group of the name.
        {{{"IDX", "SRT", {1}}, {"IDX", "MDR", {1}}, {"M", "SRT", {1}}, {"M", "TRE", treSubfile(77)}, {"M", "RGN", {1}},
          {"M", "RGN", {1}}, {"M", "LBL", {1}}, {"Q", "ABC", {1}}, {"Q", "XYZ", {1}}},
         "IDX IDX 2|MPC M 3 id77|MPC M 2 dup1| ?  Q 1| ?  Q 1 dup1|"},
        // The map ID from the name: "I" and 7 hex digits, or 8 decimal digits, at most 99999999.
        {{{"I0A2B3C4", "TRE", treSubfile(0)}, {"1234567A", "RGN", {1}}, {"I5F5E100", "RGN", {1}}},
         "MPC I0A2B3C4 1 id10662852|MPC 1234567A 1|MPC I5F5E100 1|"},
        // Catalogue records link by ID, then by name, then each TRE in FAT order takes the next one: IABCDEF
        // (no ID from 7 characters) meets record 2, P1's already; P1 passes record 3 by; P2 takes record 4.
        {{{"MAPSOURC", "MPS", concat({lRecord(1234), lRecord(300), lRecord(0xABCDEF), lRecord(0), lRecord(0)})},
          {"00001234", "TRE", treSubfile(0)}, {"IABCDEF", "TRE", treSubfile(0)}, {"P1", "TRE", treSubfile(300)},
          {"P2", "TRE", treSubfile(0)}},
         "MPS MAPSOURC 1|MPC 00001234 1 id1234 L1|MPC IABCDEF 1|MPC P1 1 id300 L2|MPC P2 1 L4|"},
        {{{"MAPSOURC", "MPS", concat({tooShort, lRecord(1234), v})}, {"I00004D2", "TRE", treSubfile(555)}},
         "MPS MAPSOURC 1|MPC I00004D2 1 id555 L2|"},
        {{{"\xB3" "AB", "RGN", {1}}, {"AAA", "RGN", {1}}}, "MPC \xB3" "AB 1|MPC AAA 1|"},
    };
    for (const auto& [subfiles, expected] : cases) {
        ASSERT_TRUE(read(buildImg({.subfiles = subfiles}))) << out;
        std::string maps;
        for (int i : in.mapList) {
            const MapEntry& m = in.maps[i];
            const std::string name(m.name.c);
            maps += std::string(mapKindName(m.kind)) + " " + name.substr(0, name.find(' ')) + " " +
                    std::to_string(m.subfileCount);
            for (auto [value, tag] : {std::pair{m.dupIndex, " dup"}, {m.codePage, " cp"}, {m.mapId, " id"},
                                      {uint32_t(m.mps + 1), " L"}})
                if (value) maps += tag + std::to_string(value);
            maps += m.hasRouting ? " nod|" : "|";
        }
        EXPECT_EQ(maps, expected);
    }
    EXPECT_EQ(std::string(in.subfiles[1].name.c), "\xB3" "AB     RGN");  // high bytes sort after letters
}

// Records kept of a torn catalogue, with -v its note, and its spare bytes:
// the rest of its last block, at most 256, as far as the file goes.
TEST_F(Reader, CatalogueRecordsAndSpareBytes) {
    auto vRecord = [](size_t length) { return mpsRecord('V', Bytes(length - 3)); };
    const Bytes torn = concat({lRecord(7), Bytes{'F', 9, 0, 1}});
    for (const auto& [mps, exponent, cut, verbose, expected] :
         {std::tuple{torn, 0, 0, false, "1 256 "}, {torn, 0, 0, true, "1 256 Wrong MPS records size, file t.img.\n"},
          {Bytes{'V', 9, 0}, 0, 0, true, "0 256 No MPS records, file t.img.\n"}, {vRecord(100), 2, 0, false, "1 256 "},
          {vRecord(512), 0, 0, false, "1 0 "}, {vRecord(100), 0, 402, true, "1 10 "}}) {
        ImgPlan p = planImg({.blockExponent = uint8_t(exponent),
                             .subfiles = {{"A", "RGN", Bytes(3000, 1)}, {"MAPSOURC", "MPS", mps}}});
        p.fileSize = renderImg(p).size() - cut;
        ASSERT_TRUE(read(renderImg(p), verbose)) << out;
        EXPECT_EQ(std::to_string(in.mpsRecords.size()) + " " + std::to_string(in.mpsPad) + " " + out, expected);
    }
}

}  // namespace
