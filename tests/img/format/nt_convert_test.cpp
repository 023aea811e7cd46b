// The GMP form of ordinary maps: every moved section offset still points at
// the bytes it pointed at, everything else is copied as it was, and headers
// the format does not know are refused.
#include "img/format/nt_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/message.h"
#include "support/img_builder.h"
#include "support/img_verifier.h"
#include "support/in_process.h"
#include "support/run_clx.h"
#include "support/test_file_system.h"

namespace {

// The section offsets of each part and the header length above which each
// is moved, in the GMP's part order.
struct PartFields {
    const char* type;
    std::vector<std::pair<uint32_t, uint32_t>> at;
};
const PartFields kFields[] = {
    {"TRE", {{0x21, 40}, {0x29, 48}, {0x31, 58}, {0x4A, 83}, {0x58, 97}, {0x66, 111}, {0x7C, 133}, {0x8A, 147},
             {0xAE, 183}, {0xBC, 197}}},
    {"RGN", {{0x15, 28}, {0x1D, 36}, {0x39, 64}, {0x55, 92}, {0x71, 120}}},
    {"LBL", {{0x15, 28},   {0x1F, 40},   {0x2D, 54},   {0x3B, 68},   {0x49, 82},   {0x57, 94},   {0x64, 109},
             {0x72, 123},  {0x80, 137},  {0x8E, 151},  {0x9C, 165},  {0xB0, 183},  {0xB8, 193},  {0xC4, 205},
             {0xD0, 215},  {0xDE, 229},  {0xEC, 243},  {0xFA, 257},  {0x108, 271}, {0x116, 285}, {0x124, 299},
             {0x132, 313}, {0x140, 327}, {0x14E, 341}, {0x15A, 353}, {0x168, 367}, {0x176, 381}, {0x184, 397},
             {0x192, 409}, {0x19A, 417}, {0x1A6, 429}, {0x1B2, 441}, {0x1BE, 453}}},
    {"NET", {{0x15, 28}, {0x1E, 37}, {0x27, 48}, {0x43, 74}, {0x4C, 83}, {0x56, 93}}},
    {"NOD", {{0x15, 28}, {0x25, 44}, {0x31, 56}, {0x3F, 70}}},
    {"DEM", {{0x21, 36}}},
};

// Checks a GMP against the subfiles it was made of (by type; absent ones
// empty): its length, and each section offset moved to the same bytes or
// left as it was.
void expectSameData(const Bytes& gmp, const std::vector<Bytes>& sources) {
    uint64_t total = 63;
    for (const Bytes& s : sources) total += s.size();
    ASSERT_EQ(gmp.size(), total);
    for (size_t part = 0; part < 6; ++part) {
        const Bytes& src = sources[part];
        const uint32_t at = readLe32(gmp, 0x19 + 4 * part);
        ASSERT_EQ(at == 0, src.empty()) << kFields[part].type;
        const uint16_t length = src.empty() ? 0 : readLe16(gmp, at);  // as copied: a NET header is cut to its subfile
        for (const auto& [field, above] : kFields[part].at) {
            SCOPED_TRACE(std::string(kFields[part].type) + " field " + std::to_string(field));
            if (field + 4 > std::min<size_t>(length, src.size())) continue;
            const uint32_t before = readLe32(src, field), after = readLe32(gmp, at + field);
            if (length <= above || before == 0) {
                EXPECT_EQ(after, before);
                continue;
            }
            if (before >= src.size()) continue;
            const size_t n = std::min<size_t>(16, src.size() - before);
            ASSERT_LE(after + n, gmp.size());
            EXPECT_EQ(Bytes(gmp.begin() + after, gmp.begin() + after + n), Bytes(src.begin() + before, src.begin() + before + n));
        }
    }
}

TEST(NtConversion, RealMapsKeepEveryOffsetOnItsData) {
    TestFileSystem fs;
    ScopedFileSystem installed(fs);
    for (const char* tile : {"63240001.img", "63240003.img"}) fs.addFile(tile, fixture(tile));
    ASSERT_EQ(runInProcess({"-j", "-z", "-o", "all.img", "63240001.img", "63240003.img"}).exitCode, 0);
    for (const auto& [map, has] : {std::pair<std::string, std::string>{"63240001", "TRE RGN LBL NET NOD"}, {"63240003", "TRE RGN LBL DEM"}}) {
        std::vector<Bytes> sources;
        for (const char* type : {"TRE", "RGN", "LBL", "NET", "NOD", "DEM"})
            sources.push_back(has.find(type) != std::string::npos ? subfileOf(fixture(map + ".img"), map + type) : Bytes{});
        expectSameData(subfileOf(fs.bytes("all.img"), map + "GMP"), sources);
    }
    // Read back, they are NT maps with their IDs, routing and elevation; -q
    // leaves NOD and DEM out; a split writes containers of one GMP each.
    ASSERT_EQ(runInProcess({"-j", "-z", "-q", "-o", "q.img", "63240001.img", "63240003.img"}).exitCode, 0);
    ASSERT_EQ(runInProcess({"-s", "-o", "out", "all.img"}).exitCode, 0);
    const std::string listed = runInProcess({"-i", "-v", "all.img", "q.img", "out/63240003.img"}).out;
    for (const char* line : {" 63240001 NT ", "\tGMP:  TRE RGN LBL NET NOD\n\tmap 3c4f741 (63240001)", " 63240003 NT ",
                             "\tGMP:  TRE RGN LBL DEM\n\tmap 3c4f743 (63240003)", "DEM layers: 2, N: 52.213187, W: 21.149614",
                             "\tGMP:  TRE RGN LBL\n\tmap 3c4f743", "maps:\t\t1, sub-files 1\n\nSub-file         fat     length\n 63240003 GMP"})
        EXPECT_NE(listed.find(line), std::string::npos) << line << "\n" << listed;
}

// A member of `type` with a header of `length` bytes whose section offsets
// all point 16 bytes past the header, `size` bytes long.
GmpMember member(SubfileType type, const char* type3, uint16_t length, size_t size = 1024) {
    Bytes b = commonHeader(type3, length);
    b.resize(size, 0x77);
    for (const PartFields& f : kFields)
        if (std::string(f.type) == type3)
            for (const auto& [field, above] : f.at)
                if (field + 4u <= std::min<size_t>(length, size)) putLe32(b, field, length + 16);
    return {type, b};
}

struct Outcome {
    bool converted;
    std::string said;
    Bytes gmp;
};

Outcome convert(std::vector<GmpMember> members, uint32_t treDataStart = 0) {
    if (members.front().type != typeTre) members.insert(members.begin(), member(typeTre, "TRE", 120));
    Outcome o;
    useEnglish = true;
    testing::internal::CaptureStdout();
    o.converted = buildGmp(members, treDataStart, o.gmp);
    o.said = testing::internal::GetCapturedStdout();
    if (!o.converted) return o;
    std::vector<Bytes> sources(6);
    const SubfileType order[] = {typeTre, typeRgn, typeLbl, typeNet, typeNod, typeDem};
    for (const GmpMember& m : members) sources[std::find(order, order + 6, m.type) - order] = m.bytes;
    expectSameData(o.gmp, sources);
    return o;
}

// Whether the u32 at `field` of the part `index` (0 TRE ... 5 DEM) moved;
// `inData` for a field of the last part's data area, which ends the GMP.
bool moved(const Outcome& o, size_t index, const GmpMember& m, uint32_t field, bool inData = false) {
    const size_t at = inData ? o.gmp.size() - m.bytes.size() + field : readLe32(o.gmp, 0x19 + 4 * index) + field;
    return readLe32(o.gmp, at) != readLe32(m.bytes, field);
}

TEST(NtConversion, HeaderLengthsAtTheirLimits) {
    const GmpMember tre133 = member(typeTre, "TRE", 133), tre134 = member(typeTre, "TRE", 134),
                    lbl453 = member(typeLbl, "LBL", 453), lbl454 = member(typeLbl, "LBL", 454);
    const Outcome a = convert({tre133, lbl453}), b = convert({tre134, lbl454});
    EXPECT_TRUE(moved(a, 0, tre133, 0x66));
    EXPECT_FALSE(moved(a, 0, tre133, 0x7C));
    EXPECT_TRUE(moved(b, 0, tre134, 0x7C));
    EXPECT_FALSE(moved(a, 2, lbl453, 0x1BE));
    EXPECT_TRUE(moved(b, 2, lbl454, 0x1BE));
    EXPECT_TRUE(convert({member(typeTre, "TRE", 211)}).converted);
    for (const auto& [m, name] : {std::pair{member(typeTre, "TRE", 212), "TRE"}, {member(typeRgn, "RGN", 126), "RGN"},
                                  {member(typeLbl, "LBL", 459), "LBL"}, {member(typeNet, "NET", 101), "NET"},
                                  {member(typeNod, "NOD", 128), "NOD"}, {member(typeDem, "DEM", 42), "DEM"},
                                  {member(typeLbl, "LBL", 300, 200), "LBL"}, {member(typeNod, "NOD", 1), "NOD"}}) {
        const Outcome o = convert({m});
        EXPECT_FALSE(o.converted) << name;
        EXPECT_EQ(o.said, std::string("Unknown ") + name + " header format.\n");
    }
    // A NET header longer than its subfile is cut to it.
    EXPECT_EQ(readLe16(convert({member(typeNet, "NET", 90, 50)}).gmp, 63 + 120), 50);
}

TEST(NtConversion, NoticesExtensionBlockAndElevationRecords) {
    // The notices behind a 120-byte TRE header stay in the GMP's TRE header
    // area, untouched (0x7C lies in them), and the sections still point at
    // their data.
    GmpMember tre = member(typeTre, "TRE", 120);
    putText(tre.bytes, 120, "Notice text");
    for (uint32_t field : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) putLe32(tre.bytes, field, 200);
    putLe32(tre.bytes, 0x29, 0);  // no such section: stays 0
    const Outcome notices = convert({tre}, 200);
    EXPECT_EQ(Bytes(notices.gmp.begin() + 63 + 120, notices.gmp.begin() + 63 + 200), Bytes(tre.bytes.begin() + 120, tre.bytes.begin() + 200));
    EXPECT_EQ(readLe32(notices.gmp, 63 + 0x29), 0u);
    EXPECT_TRUE(moved(notices, 0, tre, 0x66));

    // The RGN extension block: its own length decides whether its offset moves.
    for (const auto& [length, converts, movesIt] : {std::tuple{9, true, false}, {10, true, true}, {14, true, true}, {15, false, false}}) {
        GmpMember rgn = member(typeRgn, "RGN", 125);
        putLe32(rgn.bytes, 0x15, 125 + 16);  // data after a 16-byte block
        putLe16(rgn.bytes, 125, length);
        putLe32(rgn.bytes, 127, 300);
        const Outcome o = convert({rgn});
        EXPECT_EQ(o.converted, converts) << length;
        if (converts) EXPECT_EQ(moved(o, 1, rgn, 125 + 2), movesIt) << length;
        else EXPECT_EQ(o.said, "Unknown RGN_EXT header format.\n");
    }

    // Zoom-level records of 35 to 60 bytes carry 0, 1 or 2 data offsets.
    for (const auto& [size, offsets] : {std::pair{35, 0}, {36, 1}, {40, 2}, {60, 2}, {61, -1}}) {
        GmpMember dem = member(typeDem, "DEM", 41);
        putLe16(dem.bytes, 0x19, 2);
        putLe16(dem.bytes, 0x1F, size);
        putLe32(dem.bytes, 0x21, 100);
        for (int r = 0; r < 2; ++r)
            for (int at : {32, 36}) putLe32(dem.bytes, 100 + r * size + at, 500);
        const Outcome o = convert({dem});
        ASSERT_EQ(o.converted, offsets >= 0) << size;
        for (int r = 0; offsets >= 0 && r < 2; ++r)
            for (int k = 0; k < 2; ++k)
                EXPECT_EQ(moved(o, 5, dem, 100 + r * size + 32 + 4 * k, true), k < offsets) << size << " record " << r;
    }
}

}  // namespace
