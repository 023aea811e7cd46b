#include "edit/typ_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "img/model/input_reader.h"
#include "support/img_builder.h"
#include "support/test_file_system.h"

using namespace std::literals;

namespace {

template <class T>
size_t find(const Bytes& in, const T& what, size_t from = 0) {
    return static_cast<size_t>(std::search(in.begin() + from, in.end(), what.begin(), what.end()) - in.begin());
}

// A TYP of 200 bytes: code page 1252, product 1.
Bytes typFile(uint16_t headerLength, uint16_t fid) {
    Bytes b = commonHeader("TYP", headerLength);
    putLe16(b, 0x15, 1252), putLe16(b, 0x2F, fid), putLe16(b, 0x31, 1), b.resize(200);
    return b;
}

// -y as the parser sets it (a zero value keeps the TYP's own), -f as a family.
EditSettings typ(uint32_t fid, uint32_t pid, uint32_t cp, int64_t filterFid = -1) {
    return {.familyId = filterFid, .mapsetName = {}, .typMode = static_cast<uint8_t>(!!fid + 2 * !!pid + 4 * !!cp),
            .typFamilyId = fid, .typProductId = pid, .typCodePage = cp};
}

// A catalogue of `length` bytes: 'F' unless the 'V' record comes first, 'V', 'L', a filler.
Bytes catalogue(bool vFirst, const Bytes& v, size_t length) {
    const Bytes head = concat({vFirst ? Bytes{} : recordF(1, 7001, "F"), v, recordL(1, 7001, 5, {"S"}, 63240005)});
    return concat({head, mpsRecord('Z', Bytes(length - head.size() - 3, 'z'))});
}
Bytes containerOf(const Bytes& mps) { return buildImg({.subfiles = {{"MAKEGMAP", "MPS", mps}, {"NEXT", "XYZ", {1}}}}); }

class TypEdit : public ::testing::Test {
protected:
    InstalledFileSystem fs;
    InputFile in;
    std::string out;

    using Edit = bool (*)(InputFile&, const EditSettings&);  // run on the file given, else on the last one
    bool run(Edit edit, const EditSettings& s, const std::string& path = "", const Bytes& bytes = {}) {
        if (!path.empty()) fs.addFile(path, bytes), in = InputFile{}, in.path = path, useEnglish = true;
        EXPECT_TRUE(path.empty() || readInput(in, {}));
        testing::internal::CaptureStdout();
        const bool ok = edit(in, s);
        out = testing::internal::GetCapturedStdout();
        return ok;
    }
    // Exactly these bytes of a container, byte 0x0F aside, which keeps the byte sum at 0.
    void expectFile(const std::string& path, Bytes expected) {
        const Bytes now = fs.bytes(path);
        expected[0x0F] = now[0x0F];
        EXPECT_TRUE(now == expected && std::accumulate(now.begin(), now.end(), 0u) % 256 == 0);
    }
};

TEST_F(TypEdit, TypFieldsAreWrittenAsAskedWhereTheHeaderReachesAndForTheFamily) {
    Bytes original = fixture("test.typ"), changed = original;
    putLe16(changed, 0x15, 852);
    EXPECT_TRUE(run(correctTyp, typ(0, 0, 1250, 7002), "t.typ", changed) && out.empty());  // another family
    EXPECT_TRUE(run(correctTyp, typ(0, 0, 1250)));
    EXPECT_EQ(out, "TYP correction: file t.typ, FID 7001, PID 1, CP 1250\n");
    EXPECT_EQ(fs.bytes("t.typ"), original);

    original = fixture("gmapsupp.img");
    fixImgChecksum(original);  // mkgmap leaves byte 0x0F at 0
    ASSERT_TRUE(run(correctTyp, typ(100, 2, 0), "g.img", original));
    EXPECT_EQ(out, "TYP correction: file g.img, FID 100, PID 2, CP 1250\n");
    putLe32(original, find(original, "GARMIN TYP"sv) - 2 + 0x2F, 100 | 2 << 16);
    expectFile("g.img", original);

    // Too short a header for the fields: nothing written, in a container or alone.
    const Bytes sub = typFile(0x20, 10), img = buildImg({.subfiles = {{"TYPA", "TYP", sub}}});
    for (const auto& [path, bytes, cp] : {std::tuple{"s.img", img, 1250u}, std::tuple{"s.typ", sub, 0u}}) {
        EXPECT_TRUE(run(correctTyp, typ(30, 2, cp), path, bytes) && out.empty()) << path << out;
        EXPECT_EQ(fs.bytes(path), bytes) << path;
    }

    original = buildImg({.subfiles = {{"TYPA", "TYP", typFile(0x9C, 10)}, {"TYPB", "TYP", typFile(0x9C, 20)}}});
    EXPECT_TRUE(run(correctTyp, typ(30, 0, 0), "two.img", original));  // several TYPs: only -f tells which
    EXPECT_EQ(out, "\n== Warning: multiple TYP subfile in file two.img.\n== no changes made.\n\n");
    expectFile("two.img", original);
    EXPECT_TRUE(run(correctTyp, typ(30, 0, 0, 20)));
    EXPECT_EQ(out, "TYP correction: file two.img, FID 30, PID 1, CP 1252\n");
    putLe16(original, find(original, "GARMIN TYP"sv, find(original, "GARMIN TYP"sv) + 1) - 2 + 0x2F, 30);
    expectFile("two.img", original);
}

TEST_F(TypEdit, MapsetNameShrinksGrowsOrFillsTheRecordAndMemoryFollows) {
    const std::string s10 = "0123456789", s20(20, 'n'), s30(30, 'm');
    for (bool vFirst : {false, true})
        for (const auto& [from, to, length, toV] :  // shrinks by 10; ends 10 bytes into a block; grows into 20 spare
             {std::tuple{s20, s10, 100ul, recordV(s10)},
              std::tuple{s20, s10, 522ul, mpsRecord('V', Fields().text(s10 + "          ").u16(0))},
              std::tuple{s10, s30, 492ul, recordV(s30)}}) {
            SCOPED_TRACE((vFirst ? "V first, " : "V second, ") + std::to_string(length));
            const Bytes before = catalogue(vFirst, recordV(from), length), original = containerOf(before);
            const Bytes after = catalogue(vFirst, toV, length + toV.size() - recordV(from).size());
            EXPECT_TRUE(run(writeMpsMapsetName, {.mapsetName = to}, "c.img", original));
            EXPECT_EQ(out, "File c.img write mapset name [" + to + "] into MPS subfile.\n");
            Bytes expected = original;
            const auto at = expected.begin() + static_cast<std::ptrdiff_t>(find(original, before));
            std::copy(after.begin(), after.end(), at);
            if (after.size() < before.size()) std::fill(at + after.size(), at + before.size(), 0);  // freed: padding
            putLe32(expected, find(original, "MAKEGMAPMPS"sv) - 1 + 0x0C, static_cast<uint32_t>(after.size()));
            expectFile("c.img", expected);
            const size_t n = after.size(), v = vFirst ? 0 : 1;  // memory follows, records behind 'V' moved
            const std::vector<MpsRecord>& r = in.mpsRecords;
            EXPECT_TRUE(in.mpsLength == n && in.subfiles[0].size == n && in.maps[in.mapList[in.mpsMap]].totalSize == n);
            EXPECT_TRUE(std::equal(after.begin(), after.end(), in.mpsData.begin()) && r[v].length == toV.size());
            EXPECT_TRUE(r.back().offset + r.back().length == n && mpsMapId(in.mpsData, r[v + 1]) == 63240005u);
        }
    for (const auto& [mps, name, result, said] :  // 19 spare bytes are one too few; without a 'V' record: nothing
         {std::tuple{catalogue(true, recordV(s10), 493), s30, false, "No place to insert mapset name, file c.img.\n"},
          std::tuple{catalogue(false, {}, 100), s10, true, ""}}) {
        EXPECT_EQ(run(writeMpsMapsetName, {.mapsetName = name}, "c.img", containerOf(mps)), result);
        EXPECT_EQ(out, said);
        expectFile("c.img", containerOf(mps));
    }
}

}  // namespace
