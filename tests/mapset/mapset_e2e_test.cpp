// The mapset command (-S) and the empty maps (-k) from the command line, on
// the real mkgmap tiles and on crafted containers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/img_builder.h"
#include "support/img_verifier.h"
#include "support/run_clx.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kFixedDate = {"SOURCE_DATE_EPOCH=1700000000"};

// One 'L' block of a TDB as both tools write it: number, bounds, subfile sizes.
struct TdbMapBlock {
    uint32_t number = 0;
    std::vector<uint32_t> bounds;
    std::multiset<uint32_t> sizes;
    bool operator==(const TdbMapBlock&) const = default;
};

// Walks the blocks of a TDB: their letters in order, the 'L' blocks by map
// number.
struct TdbFile {
    std::string letters;
    std::map<uint32_t, TdbMapBlock> maps;
};

uint32_t crc32Of(const Bytes& b, size_t n) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

TdbFile parseTdb(const Bytes& file) {
    TdbFile tdb;
    for (size_t at = 0; at + 3 <= file.size();) {
        const char letter = static_cast<char>(file[at]);
        const size_t body = at + 3, length = readLe16(file, at + 1);
        tdb.letters += letter;
        if (letter == 'L') {
            TdbMapBlock m{readLe32(file, body), {}, {}};
            for (size_t i = 8; i < 24; i += 4) m.bounds.push_back(readLe32(file, body + i));
            size_t p = body + 24;
            while (file.at(p)) ++p;
            const uint16_t count = readLe16(file, p + 3);
            for (size_t i = 0; i < count; ++i) m.sizes.insert(readLe32(file, p + 5 + 4 * i));
            tdb.maps[m.number] = m;
        }
        at = body + length;
    }
    return tdb;
}

// A one-map container: TRE with the given raw bounds and two levels (the
// first of `topBits` bits), an RGN, and a catalogue of the given records.
Bytes craftedMap(const std::string& name, uint32_t mapId, std::vector<uint32_t> bounds, uint8_t topBits,
                 const Bytes& catalogue = {}, const std::vector<ImgSubfile>& more = {}) {
    Bytes tre = treSubfile(mapId);
    for (size_t i = 0; i < 4; ++i) putLe(tre, 0x15 + 3 * i, bounds[i], 3);
    putLe32(tre, 0x25, 8);
    tre[188] = 1, tre[189] = topBits, tre[192] = 0, tre[193] = 20;
    ImgLayout layout{.subfiles = {{name, "TRE", tre}, {name, "RGN", commonHeader("RGN", 29)}}};
    layout.subfiles.insert(layout.subfiles.end(), more.begin(), more.end());
    if (!catalogue.empty()) layout.subfiles.push_back({"MAKEGMAP", "MPS", catalogue});
    return buildImg(layout);
}

bool haveMkgmap() { return std::system("command -v mkgmap >/dev/null 2>&1") == 0; }

// mkgmap compiles an MP source without a complaint.
void expectCompiles(const fs::path& mp) {
    const fs::path out = mp.parent_path() / ("compiled-" + mp.stem().string());
    const std::string log = (out.string() + ".log");
    const std::string cmd = "cd '" + mp.parent_path().string() + "' && mkgmap --output-dir='" + out.string() + "' '" +
                            mp.filename().string() + "' >'" + log + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << readFile(log);
    const std::string said = readFile(log);
    EXPECT_EQ(said.find("SEVERE"), std::string::npos) << said;
    EXPECT_EQ(said.find("rror"), std::string::npos) << said;
}

class Mapset : public ::testing::Test {
protected:
    ScratchDir dir;
    void SetUp() override {
        for (const char* f : {"63240001.img", "63240002.img", "63240003.img", "test.typ", "gmapsupp.img", "sample.img"})
            fs::copy_file(testData(std::string("img/") + f), dir / f);
        fs::create_directory(dir / "out");
    }
    ClxResult clx(const std::vector<std::string>& args, const std::string& lang = "C") {
        return runClx(args, lang, dir.path(), kFixedDate);
    }
    Bytes out(const std::string& name) { return readBytes(dir / "out" / name); }
};

TEST_F(Mapset, RealTilesMakeAWholeMapset) {
    ClxResult r = clx({"-S", "-t", "-f", "7001", "-m", "Mapa testowa", "-o", "out", "63240001.img", "63240002.img",
                       "63240003.img", "test.typ"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner +
                         "Split map 63240001.img.\nWrite map  63240001 ->     63240001.img\n"
                         "Split map 63240002.img.\nWrite map  63240002 ->     63240002.img\n"
                         "Split map 63240003.img.\nWrite map  63240003 ->     63240003.img\n"
                         "Split map, data file test.typ.\nWrite data test.typ\n"
                         "Write file mapset.mp\nWrite file mapset.tdb\nWrite file mapset.mdx\n");
    // The companion files, byte for byte.
    for (const char* name : {"mapset.tdb", "mapset.mdx", "mapset.mp", "install.bat", "uninstall.bat"})
        EXPECT_EQ(out(name), readBytes(testData(std::string("mapset/") + name))) << name;
    EXPECT_EQ(readFile(dir / "out/split.lst"), "63240001.img\n63240002.img\n63240003.img\n");
    // Run again over its own maps, it describes them all the same.
    const std::vector<std::string> again = {"-S", "-f", "7001", "-m", "Mapa testowa", "-o", "out", "63240001.img",
                                            "63240002.img", "63240003.img", "test.typ"};
    ASSERT_EQ(clx(again).exitCode, 0);
    EXPECT_EQ(out("mapset.tdb"), readBytes(testData("mapset/mapset.tdb")));

    // Each map's file holds its subfiles unchanged, under the name of its number.
    for (const std::string tile : {"63240001", "63240002", "63240003"}) {
        const Img in = readImg(dir / (tile + ".img"), {false, false}), written = readImg(dir / "out" / (tile + ".img"));
        const std::string renamed = tile == "63240001" ? "I3C4F741" : tile == "63240002" ? "I3C4F742" : "I3C4F743";
        ASSERT_EQ(written.img.subfiles.size(), in.img.subfiles.size());
        for (const VerifiedSubfile& s : in.img.subfiles) EXPECT_EQ(written[renamed + s.type], in[s.name + s.type]);
    }

    // mkgmap's TDB of the two routable tiles: the same numbers, bounds and
    // subfile sizes. What differs is chosen by each tool: the listing order
    // of the subfiles, the descriptions (mkgmap adds the number), the
    // header's copyright texts, the preview number and the mapset's bounds
    // (ours cover the third tile too).
    const TdbFile ours = parseTdb(out("mapset.tdb")), theirs = parseTdb(fixture("mapset.tdb"));
    EXPECT_EQ(ours.letters, "PDRBLLLT");
    for (uint32_t number : {63240001u, 63240002u}) EXPECT_EQ(ours.maps.at(number), theirs.maps.at(number));
    // mkgmap's index lists the two tiles (its own preview has no entry) as ours does.
    const Bytes mdx = out("mapset.mdx"), theirMdx = fixture("mapset.mdx");
    EXPECT_TRUE(std::equal(theirMdx.begin() + 14, theirMdx.end(), mdx.begin() + 14));
    if (haveMkgmap()) expectCompiles(dir / "out/mapset.mp");
}

TEST_F(Mapset, EmptyDemsAndThePreviewDem) {
    ClxResult r = clx({"-S", "-q", "-f", "7001", "-m", "M", "-o", "out", "63240001.img", "63240003.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // The routable tile gets a flat DEM of its 4 real levels: 64 * 4 + 37 bytes.
    const Img tile = readImg(dir / "out/63240001.img");
    const Bytes dem = tile["I3C4F741DEM"];
    ASSERT_EQ(dem.size(), 293u);
    EXPECT_EQ(std::string(dem.begin() + 2, dem.begin() + 12), "GARMIN DEM");
    const TdbFile tdb = parseTdb(out("mapset.tdb"));
    EXPECT_EQ(tdb.maps.at(63240001).sizes.count(293), 1u);
    // Every map has elevation now, so the preview gets a DEM of one level.
    EXPECT_EQ(out("63240191.DEM").size(), 101u);
    const Bytes tdbBytes = out("mapset.tdb");
    EXPECT_EQ(tdbBytes[3 + 2 * 1 + 49], 1);  // "all maps have DEM" of the header block
}

TEST_F(Mapset, RefusalsAndTheirTexts) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string said;
    };
    const std::string longName(600, 'n');
    const Case cases[] = {
        {{"-S", "-o", "out", "sample.img", "gmapsupp.img"}, 4,
         "Multiple products in img, creating TDB aborted, try opion -f.\n"},
        {{"-S", "-o", "out", "63240001.img"}, 4, "FID missing, creating TDB aborted.\n"},
        {{"-S", "-f", "5", "-m", longName, "-o", "out", "63240001.img"}, 4, "Mapset name missing, creating TDB aborted.\n"},
        {{"-S", "-f", "5", "-m", "M", "-o", "out", "63240002.img", "gmapsupp.img"}, 0,
         "\n== Warning: repeated map ID number.\n== Map ID 63240002 (3C4F742), file 63240002.img, file gmapsupp.img.\n\n"},
        {{"-S", "-f", "100", "-o", "out", "sample.img", "gmapsupp.img"}, 0, "== Warning: Multiple products in img.\n"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        ClxResult r = clx(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
        EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
        EXPECT_EQ(fs::exists(dir / "out/mapset.tdb"), c.exitCode == 0);
    }
    // The accepted one: family 100 with product 1; two products give no name, so the mapset record does.
    const Bytes tdb = out("mapset.tdb");
    EXPECT_EQ(readLe16(tdb, 3), 1);
    EXPECT_EQ(readLe16(tdb, 5), 100);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&tdb[9])), "OSM map set");  // its first 'V' record
}

TEST_F(Mapset, AreaLimitsAndTheWorldsEdge) {
    // A map reaching 180 degrees east, 4 bits at its top level: clamped to
    // 8 bits the east edge is written 177.1875 (180 - 720 / 2^8).
    writeBytes(dir / "edge.img", craftedMap("EDGEMAP ", 4660, {0x300000, 0x800000, 0x200000, 0x700000}, 4));
    writeBytes(dir / "inner.img", craftedMap("00000042", 42, {0x100000, 0x100000, 0x0F0000, 0x0F0000}, 18));
    ClxResult r = clx({"-S", "-f", "1", "-m", "Edge", "-o", "out", "edge.img", "inner.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string mp = readFile(dir / "out/mapset.mp");
    EXPECT_NE(mp.find("Level0=8\r\nLevel1=6\r\n"), std::string::npos);
    EXPECT_NE(mp.find("Data0=(45.0000000,177.1875000),(45.0000000,157.5000000),(67.5000000,157.5000000),"
                      "(67.5000000,177.1875000)"),
              std::string::npos)
        << mp;
    EXPECT_EQ(parseTdb(out("mapset.tdb")).maps.size(), 2u);

    // With -L the edge map lies outside the limits: left out of every file.
    fs::remove_all(dir / "out");
    fs::create_directory(dir / "out");
    r = clx({"-S", "-v", "-L", "-f", "1", "-m", "Edge", "-o", "out", "edge.img", "inner.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Map EDGEMAP  out of mapset area.\n"), std::string::npos) << r.out;
    const TdbFile tdb = parseTdb(out("mapset.tdb"));
    EXPECT_EQ(tdb.maps.size(), 1u);
    EXPECT_TRUE(tdb.maps.count(42));
    EXPECT_EQ(out("mapset.mdx").size(), 14u + 2 * 12);  // map 42 and the preview
    EXPECT_EQ(readFile(dir / "out/mapset.mp").find("EDGEMAP"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out/00004660.img"));

    // The same map already in place under its number is left out whole.
    fs::copy_file(dir / "edge.img", dir / "out/00004660.img");
    r = clx({"-S", "-L", "-f", "1", "-m", "Edge", "-o", "out", "out/00004660.img", "inner.img"});
    EXPECT_NE(r.out.find("File out/00004660.img out of mapset area.\n"), std::string::npos) << r.out;
    EXPECT_EQ(parseTdb(out("mapset.tdb")).maps.size(), 1u);
}

TEST_F(Mapset, TilesAlreadyInPlaceServeAsTheyAre) {
    ClxResult r = clx({"-S", "-f", "7001", "-m", "M", "63240001.img", "63240003.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Using original file 63240001.img for mapset.\n"
                         "Using original file 63240003.img for mapset.\n"),
              std::string::npos);
    EXPECT_EQ(readBytes(dir / "63240001.img"), fixture("63240001.img"));
    // Their subfiles keep their own names.
    const Bytes tdb = readBytes(dir / "mapset.tdb");
    EXPECT_NE(std::string(tdb.begin(), tdb.end()).find("63240001.TRE"), std::string::npos);
}

TEST_F(Mapset, HostileNamesCannotEscapeOrInject) {
    Bytes typ = commonHeader("TYP", 91);
    putLe16(typ, 0x2F, 77);
    const Bytes catalogue = concat({recordF(1, 77, ""), recordV("x\"&%\r\ny")});
    writeBytes(dir / "evil.img", craftedMap("../../x.", 0, {0x100000, 0x100000, 0x0F0000, 0x0F0000}, 18, catalogue,
                                            {{"a/b\"%&|", "TYP", typ}}));
    ClxResult r = clx({"-S", "-o", "out", "evil.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string install = readFile(dir / "out/install.bat");
    EXPECT_NE(install.find("echo -  Map:  \"x'&%%  y\"\r\necho -  FID:  77\r\n"), std::string::npos) << install;
    EXPECT_NE(install.find("/v TYP /t REG_SZ /d \"%~dp0a_b_%%&_.TYP\" /f\r\n"), std::string::npos) << install;
    EXPECT_TRUE(fs::exists(dir / "out/a_b_%&_.TYP"));
    // A map without a number takes one from the CRC of its container's header.
    const Bytes evil = readBytes(dir / "evil.img");
    const uint32_t number = (crc32Of(evil, 144) & 0xFFF7FF) | 0x800000;
    EXPECT_TRUE(parseTdb(out("mapset.tdb")).maps.count(number));
    char file[16];
    std::snprintf(file, sizeof file, "%08u.img", number);
    EXPECT_TRUE(fs::exists(dir / "out" / file));
    for (const auto& e : fs::directory_iterator(dir.path()))  // nothing written beside the output directory
        EXPECT_TRUE(e.path().filename() == "out" || e.path().extension() == ".img" || e.path().extension() == ".typ")
            << e.path();
}

TEST_F(Mapset, EmptyMapsForEveryMap) {
    ClxResult r = clx({"-k", "-o", "out", "sample.img"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, kBanner + "Writing: 63240001.mp\nWriting: 63240002.mp\nWriting: 63240003.mp\n");
    EXPECT_EQ(out("63240003.mp"), readBytes(testData("mapset/63240003.mp")));
    if (haveMkgmap())
        for (const char* name : {"63240001.mp", "63240002.mp", "63240003.mp"}) expectCompiles(dir / "out" / name);
}

}  // namespace
