#include "common/codepage.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// The selection is process-wide: put back whatever the test found.
class CodePages : public ::testing::Test {
    std::optional<std::uint32_t> saved_ = saveCharLocale();
    void TearDown() override { restoreCharLocale(saved_); }
};

TEST_F(CodePages, SelectionSucceedsExactlyForTheBuiltInTables) {
    const std::set<std::uint32_t> builtIn = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    for (std::uint32_t cp = 0; cp <= 0x10000 + 1258; ++cp) {
        ASSERT_TRUE(selectCodePage(1250));
        ASSERT_EQ(selectCodePage(cp), builtIn.count(cp) == 1) << cp;
        ASSERT_EQ(currentCodePage(), builtIn.count(cp) ? cp : 1250) << cp;
    }
}

// Letters without a single-byte upper case stay, undefined bytes stay and are
// no word bytes, marks belong to words without being letters.
TEST_F(CodePages, CasesAndClassesThatAreEasyToGetWrong) {
    struct Row { std::uint32_t cp; std::uint8_t byte, upper, lower; char kind; };  // kind: Letter Digit Mark -

    const Row rows[] = {
        {1250, 0xB3, 0xA3, 0xB3, 'L'}, {1250, 0xA3, 0xA3, 0xB3, 'L'}, {1250, 0xDF, 0xDF, 0xDF, 'L'},  // ł Ł ß
        {1250, 0x81, 0x81, 0x81, '-'}, {1251, 0xB8, 0xA8, 0xB8, 'L'}, {1251, 0xFF, 0xDF, 0xFF, 'L'},  // ё я
        {1252, 0xFF, 0x9F, 0xFF, 'L'}, {1252, 0x9F, 0x9F, 0xFF, 'L'}, {1252, 0xDF, 0xDF, 0xDF, 'L'},  // ÿ Ÿ ß
        {1252, 0xB5, 0xB5, 0xB5, 'L'}, {1252, 0xD7, 0xD7, 0xD7, '-'}, {1252, 0xB2, 0xB2, 0xB2, '-'},  // µ × ²
        {1253, 0xF2, 0xD3, 0xF2, 'L'}, {1253, 0xB5, 0xCC, 0xB5, 'L'}, {1253, 0xAA, 0xAA, 0xAA, '-'},  // ς µ
        {1254, 0xFD, 'I', 0xFD, 'L'},  {1254, 'i', 'I', 'i', 'L'},     {1254, 0xDD, 0xDD, 0xDD, 'L'},  // ı i İ
        {1255, 0xC0, 0xC0, 0xC0, 'M'}, {1255, 0xE0, 0xE0, 0xE0, 'L'}, {1256, 0xF0, 0xF0, 0xF0, 'M'},  // marks
        {1256, 0x9C, 0x8C, 0x9C, 'L'}, {1257, 0xE0, 0xC0, 0xE0, 'L'}, {1258, 0xCC, 0xCC, 0xCC, 'M'},  // œ ą grave
        {1258, 0xF0, 0xD0, 0xF0, 'L'}, {874, 0xD1, 0xD1, 0xD1, 'M'},   {874, 0xF0, 0xF0, 0xF0, 'D'},   // đ, Thai
        {874, 0xDB, 0xDB, 0xDB, '-'},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.cp << " byte 0x" << std::hex << int(r.byte));
        ASSERT_TRUE(selectCodePage(r.cp));
        EXPECT_EQ(upperByte(r.byte) << 8 | lowerByte(r.byte), r.upper << 8 | r.lower);
        EXPECT_EQ(isLetterByte(r.byte), r.kind == 'L');
        EXPECT_EQ(isDigitByte(r.byte), r.kind == 'D');
        EXPECT_EQ(isWordByte(r.byte), r.kind != '-');
    }
}

}  // namespace
