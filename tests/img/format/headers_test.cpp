// The header readers at the edges of what they keep: header lengths, GMP
// parts, offsets that must lie inside the subfile, signatures.
#include "img/format/headers.h"

#include <gtest/gtest.h>

#include "common/message.h"
#include "support/img_builder.h"
#include "support/test_file_system.h"

namespace {

using namespace std::string_literals;

std::string le(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string str(const Bytes& b) { return {b.begin(), b.end()}; }

// `b` with the bytes put at their offsets, then cut or zero-extended to `total`.
Bytes with(Bytes b, std::initializer_list<std::pair<size_t, std::string>> fields, size_t total = 0) {
    for (const auto& [at, bytes] : fields) putText(b, at, bytes);
    if (total) b.resize(total);
    return b;
}

const std::string kLevels = "\x81\x18\x01\x00\x00\x16\x04\x00"s;  // two levels, the first inherited

// Map ID 0x1234567, all sections at `sections`, the levels there.
Bytes tre(uint16_t length, size_t total = 0x400, uint32_t sections = 0x300) {
    const std::string at = le(sections);
    return with(commonHeader("TRE", length), {{0x21, at + le(8)}, {0x29, at}, {0x31, at}, {0x4A, at}, {0x58, at},
                                              {0x66, at}, {0x74, le(0x1234567)}, {sections, kLevels}}, total);
}

Bytes lbl(uint16_t length, size_t total = 0x400) {  // code page 1252, sort description "Sort"
    return with(commonHeader("LBL", length), {{0xAA, "\xE4\x04"}, {0xB0, le(0x100) + le(4)}, {0x100, "Sort"}}, total);
}

Bytes dem(size_t total, uint16_t count, uint16_t size, uint32_t offset) {
    return with(Bytes(0x40), {{0x19, le(count)}, {0x1F, le(size)}, {0x21, le(offset)}}, total);
}

// Parts: TRE 0x100 (a section before its header's end, levels at 0x700), RGN
// 0x180, LBL 0x200 (sort text at 0x600), NET 0x300, no NOD, DEM 0x400.
const Bytes kGmp = with(commonHeader("GMP", 0x31),
                        {{0x19, le(0x100) + le(0x180) + le(0x200) + le(0x300) + le(0) + le(0x400)}, {0x700, kLevels},
                         {0x100, str(with(tre(120, 0x80), {{0x31, le(0x40)}, {0x21, le(0x700)}}))}, {0x600, "abc"},
                         {0x200, str(with(lbl(0xBC, 0xBC), {{0xB0, le(0x600) + le(3)}}))},
                         {0x400, str(dem(0x40, 1, 8, 0x7F8))}, {0x7F8, "\xAB"}}, 0x800);

Bytes aux(const char* type3, size_t total, uint16_t length, size_t codePageAt) {
    return with(commonHeader(type3, length), {{codePageAt, "\xE9\x04"}}, total);
}

Bytes mmr(uint32_t offset, uint32_t length, uint16_t count) {  // the map reference at 0x100
    return with(aux("MMR", 0x104, 150, 0x8C), {{0x80, le(offset) + le(length) + le(count)}, {0x100, le(0xABCDEF)}});
}

// What the four readers keep of one subfile, what they print and report.
std::string kept(SubfileType type, const Bytes& bytes) {
    InstalledFileSystem fs;
    fs.addFile("s", bytes);
    ContainerFile file;
    file.path = "s";
    file.size = bytes.size();
    EXPECT_TRUE(openContainer(file, OpenMode::read));
    const SubfileSource source{&file, 0, bytes.size()};
    std::optional<TreInfo> tre;
    std::optional<GmpParts> parts;
    std::optional<LblInfo> lbl;
    std::optional<DemInfo> dem;
    std::optional<AuxInfo> aux;
    bool bad = false;
    useEnglish = true;
    testing::internal::CaptureStdout();
    const HeaderRead results[] = {readTreInfo(source, type, tre, parts), readLblInfo(source, type, lbl),
                                  readDemInfo(source, type, dem), readAuxInfo(source, type, aux, bad)};
    std::string s = testing::internal::GetCapturedStdout() + (parts ? "parts " : "");
    for (HeaderRead r : results) s += r == HeaderRead::ok ? "" : r == HeaderRead::badData ? "!bad " : "!failed ";
    auto n = [](uint64_t v) { return std::to_string(v) + " "; };
    if (tre) s += "TRE " + n(tre->mapId) + n(tre->headerRead) + n(tre->dataStart) + n(tre->levels.size());
    if (tre) s += n(tre->hasDem) + n(tre->hasRouting);
    if (lbl) s += "LBL " + n(lbl->codePage) + lbl->sortName.data() + " " + n(lbl->section184Length);
    if (dem) s += "DEM " + n(dem->levelCount) + n(dem->levelRecordSize) + n(dem->firstLevel.size());
    if (aux) s += "AUX " + n(aux->codePage) + n(aux->mapRef) + (bad ? "bad" : "");
    return s;
}

TEST(HeaderReaders, KeepOnlyWhatLiesInside) {
    const std::tuple<SubfileType, Bytes, std::string> cases[] = {
        // TRE: a record from 116 header bytes, the map ID from 120; free text up to a section or the end held.
        {typeTre, tre(115), ""},
        {typeTre, tre(116), "TRE 0 512 512 8 0 0 "},
        {typeTre, tre(119), "TRE 0 512 512 8 0 0 "},
        {typeTre, tre(120, 300, 0x100), "TRE 19088743 300 256 8 0 0 "},
        {typeTre, with(tre(120), {{10, "X"}}), "Bad data in TRE subfile, file s.\n!bad "},
        {typeTre, with(tre(120), {{0x25, le(132)}}), ""},  // at most 32 levels
        // GMP: a part ends at the next one unless that lies before it; offsets count from the GMP's start.
        {typeGmp, kGmp, "parts TRE 19088743 128 128 8 1 0 LBL 1252 abc 0 DEM 1 8 8 "},
        {typeGmp, with(kGmp, {{0x1D, le(0x80)}, {0x29, le(0x580) + le(0)}}),
         "parts TRE 19088743 512 512 8 0 1 LBL 1252 abc 0 "},
        {typeGmp, with(kGmp, {{0x1D, le(0x100 + 119)}, {0x25, le(0x200 + 183)}}), "parts DEM 1 8 8 "},
        // LBL: code page at 0xAC when 0xAA is 0, sort text of at most 198 bytes, bitmaps from 410 stored and held.
        {typeLbl, lbl(0xBC, 183), ""},
        {typeLbl, with(lbl(0xBC, 184), {{0xAA, "\0\0\xE2\x04"s}, {0xB0, le(0) + le(0)}}), "LBL 1250  0 "},
        {typeLbl, with(lbl(0xBC), {{0xB0, le(0x300) + le(199)}}), ""},
        {typeLbl, with(lbl(410), {{0x188, le(0x2222)}}), "LBL 1252 Sort 8738 "},
        {typeLbl, with(lbl(0x400), {{0x188, le(0x2222)}}, 409), "LBL 1252 Sort 0 "},
        // DEM: the level records must lie inside; the first is kept up to 100 bytes.
        {typeDem, dem(0xB8, 2, 60, 0x40), "DEM 2 60 60 "},
        {typeDem, dem(0xB7, 2, 60, 0x40), "DEM 0 0 0 "},
        {typeDem, dem(0x200, 1, 120, 0x40), "DEM 1 120 100 "},
        {typeDem, dem(0x200, 0xFFFF, 0xFFFF, 0xFFFFFFFF), "DEM 0 0 0 "},
        {typeDem, dem(37, 0, 0, 0), "DEM 0 0 0 "},
        {typeDem, dem(36, 0, 0, 0), ""},
        // TYP, MMR, MD2: nothing kept of too short a subfile or stored header.
        {typeTyp, aux("TYP", 90, 91, 0x15), ""},
        {typeMmr, aux("MMR", 150, 149, 0x8C), ""},
        {typeMd2, Bytes(72), ""},
        {typeMd2, Bytes(73), "AUX 0 0 "},
        // The MMR map reference: its table inside, more than 3 entries of more than 3 bytes.
        {typeMmr, mmr(0x100, 4, 4), "AUX 1257 11259375 "},
        {typeMmr, mmr(0x101, 4, 4), "AUX 1257 0 "},
        {typeMmr, mmr(0x100, 3, 4), "AUX 1257 0 "},
    };
    for (const auto& [type, bytes, expected] : cases) EXPECT_EQ(kept(type, bytes), expected) << typeName(type);
}

}  // namespace
