#include "common/codepage.h"

#include <gtest/gtest.h>

namespace {

// The selection is process-wide: put back whatever the test found.
class CodePages : public ::testing::Test {
    std::optional<std::uint32_t> saved_ = saveCharLocale();
    void TearDown() override { restoreCharLocale(saved_); }
};

// Letters without a single-byte upper case stay, undefined bytes stay and are
// no word bytes, marks belong to words without being letters.
TEST_F(CodePages, CasesAndClassesThatAreEasyToGetWrong) {
    struct Row { std::uint32_t cp; std::uint8_t byte, upper, lower; char kind; };  // kind: Letter Digit Mark -

    const Row rows[] = {
        {1250, 0xB3, 0xA3, 0xB3, 'L'}, {1250, 0xA3, 0xA3, 0xB3, 'L'}, {1250, 0x81, 0x81, 0x81, '-'},  // ł Ł, undefined
        {1251, 0xB8, 0xA8, 0xB8, 'L'}, {1252, 0xD7, 0xD7, 0xD7, '-'}, {1252, 0xDF, 0xDF, 0xDF, 'L'},  // ё × ß
        {1252, 0xFF, 0x9F, 0xFF, 'L'}, {1252, 0x9F, 0x9F, 0xFF, 'L'}, {1253, 0xF2, 0xD3, 0xF2, 'L'},  // ÿ Ÿ ς
        {1253, 0xB5, 0xCC, 0xB5, 'L'}, {1254, 0xFD, 'I', 0xFD, 'L'},   {1254, 'i', 'I', 'i', 'L'},    // µ ı i
        {1254, 0xDD, 0xDD, 0xDD, 'L'}, {1255, 0xC0, 0xC0, 0xC0, 'M'}, {1255, 0xE0, 0xE0, 0xE0, 'L'},  // İ, mark, letter
        {1258, 0xF0, 0xD0, 0xF0, 'L'}, {874, 0xD1, 0xD1, 0xD1, 'M'},   {874, 0xF0, 0xF0, 0xF0, 'D'},   // đ, Thai
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
