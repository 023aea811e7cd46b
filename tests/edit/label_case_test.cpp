// Label case conversion: the modes by the selected code page, and the in-place edit of real and crafted containers.
#include "edit/label_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "common/codepage.h"
#include "img/model/input_reader.h"
#include "support/img_builder.h"
#include "support/test_file_system.h"

namespace {

using namespace std::string_literals;

std::string converted(int mode, std::string t) {
    return convertLabels(mode, reinterpret_cast<uint8_t*>(t.data()), t.size()) ? t : "refused";
}

TEST(ConvertLabels, ModesByTheSelectedCodePage) {
    ASSERT_TRUE(selectCodePage(1250));
    EXPECT_EQ(converted(3, "4X4\0MAIN STREET\0O'NEIL RD\0ST.-JEAN\0WIE\214 \217D\217B\243O"s),
              "4x4\0Main Street\0O'Neil Rd\0St.-Jean\0Wie\234 \217d\237b\263o"s);
    EXPECT_EQ(converted(1, "ulica \263\363dzka 1"), "ULICA \243\323DZKA 1");
    EXPECT_EQ(converted(2, "ULICA \243\323DZKA 1"), "ulica \263\363dzka 1");
    EXPECT_EQ(converted(4, "a"), "refused");
}

// The label data {start, length} of each LBL header found by signature (each LBL in consecutive blocks).
std::vector<std::pair<size_t, size_t>> labelRanges(const Bytes& img) {
    std::vector<std::pair<size_t, size_t>> ranges;
    const std::string s(img.begin(), img.end());
    for (size_t h = s.find("GARMIN LBL"); h != std::string::npos; h = s.find("GARMIN LBL", h + 1))
        ranges.emplace_back(h - 2 + readLe32(img, h + 0x13), readLe32(img, h + 0x17));
    return ranges;
}

std::string text(const Bytes& b, auto r) { return {b.begin() + r.first, b.begin() + r.first + r.second}; }

struct LabelEdit : ::testing::Test {
    InstalledFileSystem fs;
    InputFile in;
    EditSettings settings;
    Bytes run(const Bytes& image, uint8_t mode) {  // no image: again on the file as the last run left it
        if (!image.empty()) fs.addFile(in.path = "t.img", image), readInput(in, {});
        settings.labelCase = mode;
        EXPECT_TRUE(changeLabelCase(in, settings));
        return fs.bytes("t.img");
    }
};

TEST_F(LabelEdit, CapitalsChangeOnlyLabelDataAndKeepTheSum) {
    const Bytes was = fixture("gmapsupp.img");
    const auto ranges = labelRanges(was);
    const Bytes now = run(was, 1);
    Bytes expected = was;  // label data and checksum as converted, the rest as it was
    for (auto r : ranges) std::copy_n(now.begin() + r.first, r.second, expected.begin() + r.first);
    expected[0x0F] = now.at(0x0F);
    EXPECT_EQ(now, expected);
    EXPECT_EQ(std::accumulate(now.begin(), now.end(), 0u) % 256, std::accumulate(was.begin(), was.end(), 0u) % 256);
    for (auto r : ranges) EXPECT_NE(text(now, r).find("ZA\257\323\243\306 G\312\214L\245"), std::string::npos);
    EXPECT_EQ(run({}, 1), now);
}

// Map 1 with label coding 6 and map 2 with label data wrapping in 32 bits are left alone, map 3 still converted.
TEST_F(LabelEdit, MapsThatCannotBeConvertedAreSkipped) {
    Bytes img = fixture("sample.img");
    const auto ranges = labelRanges(img);
    img[ranges[0].first - 0xDA + 0x1E] = 6;
    putLe32(img, ranges[1].first - 0xDA + 0x19, 0xFFFFFFFF);
    fixImgChecksum(img);
    ASSERT_TRUE(selectCodePage(1252));
    useEnglish = true;
    testing::internal::CaptureStdout();
    const Bytes after = run(img, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "  Map 63240001 label format not supported.\n  Map 63240002 unknown LBL structure.\n");
    EXPECT_EQ(currentCodePage(), 1252u);
    EXPECT_EQ(text(after, ranges[0]) + text(after, ranges[1]), text(img, ranges[0]) + text(img, ranges[1]));
    EXPECT_NE(text(after, ranges[2]).find("\0Droga Na G\xf3r\xea\0"s), std::string::npos);
}

// Label data longer than the piece the edit reads at a time: a word running across the boundary stays one word.
TEST_F(LabelEdit, WordsRunAcrossPieces) {
    const uint32_t length = (1u << 20) + 2;
    Bytes lbl = concat({commonHeader("LBL", 0xC4), Bytes(length, 'A')});  // coding 9, code page 1250
    for (auto [at, v] : {std::pair{0x15u, 0xC4u}, {0x19u, length}, {0x1Eu, 9u}, {0xAAu, 1250u}}) putLe32(lbl, at, v);
    const Bytes after = run(buildImg({.subfiles = {{"M", "TRE", treSubfile(1)}, {"M", "LBL", lbl}}}), 3);
    EXPECT_EQ(text(after, labelRanges(after).at(0)), "A" + std::string(length - 1, 'a'));
}

}  // namespace
