#include "common/codepage.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <set>
#include <utility>

namespace {

const std::uint32_t builtInCodePages[] = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

// The selection is process-wide: put back whatever the test found.
class CodePageTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = saveCharLocale(); }
    void TearDown() override { restoreCharLocale(saved_); }

    void select(std::uint32_t codePage) { ASSERT_TRUE(selectCodePage(codePage)) << codePage; }

private:
    std::optional<std::uint32_t> saved_;
};

void expectCasePair(std::uint8_t lower, std::uint8_t upper) {
    EXPECT_EQ(upperByte(lower), upper) << "upper of 0x" << std::hex << int(lower);
    EXPECT_EQ(lowerByte(upper), lower) << "lower of 0x" << std::hex << int(upper);
    EXPECT_EQ(upperByte(upper), upper) << "upper of 0x" << std::hex << int(upper);
    EXPECT_EQ(lowerByte(lower), lower) << "lower of 0x" << std::hex << int(lower);
    EXPECT_TRUE(isLetterByte(lower)) << std::hex << int(lower);
    EXPECT_TRUE(isLetterByte(upper)) << std::hex << int(upper);
}

void expectNoCase(std::uint8_t c) {
    EXPECT_EQ(upperByte(c), c) << "upper of 0x" << std::hex << int(c);
    EXPECT_EQ(lowerByte(c), c) << "lower of 0x" << std::hex << int(c);
}

bool isAsciiUpper(int b) { return b >= 'A' && b <= 'Z'; }
bool isAsciiLower(int b) { return b >= 'a' && b <= 'z'; }
bool isAsciiDigit(int b) { return b >= '0' && b <= '9'; }

}  // namespace

// Only meaningful while nothing in this process has selected a code page yet,
// which holds when it runs first or alone.
TEST(CodePageDefault, AsciiRulesBeforeAnySelection) {
    if (currentCodePage() != 0) GTEST_SKIP() << "a code page was selected earlier in this process";

    EXPECT_EQ(saveCharLocale(), std::nullopt);
    restoreCharLocale(std::nullopt);
    EXPECT_EQ(currentCodePage(), 0u);

    for (int b = 0; b < 256; ++b) {
        auto c = static_cast<std::uint8_t>(b);
        bool letter = isAsciiUpper(b) || isAsciiLower(b);
        EXPECT_EQ(isLetterByte(c), letter) << b;
        EXPECT_EQ(isDigitByte(c), isAsciiDigit(b)) << b;
        EXPECT_EQ(isWordByte(c), letter || isAsciiDigit(b)) << b;
        EXPECT_EQ(upperByte(c), isAsciiLower(b) ? b - 32 : b) << b;
        EXPECT_EQ(lowerByte(c), isAsciiUpper(b) ? b + 32 : b) << b;
    }
}

TEST_F(CodePageTest, SelectionSaveAndRestore) {
    for (std::uint32_t cp : builtInCodePages) {
        const CodePageTable* table = findCodePageTable(cp);
        ASSERT_NE(table, nullptr) << cp;
        EXPECT_EQ(table->codePage, cp);
    }

    select(1250);
    EXPECT_EQ(currentCodePage(), 1250u);
    for (std::uint32_t cp : {0u, 1u, 437u, 850u, 932u, 936u, 949u, 950u, 1234u, 1259u, 65001u, 0x10000u + 1252u}) {
        EXPECT_EQ(findCodePageTable(cp), nullptr) << cp;
        EXPECT_FALSE(selectCodePage(cp)) << cp;
        EXPECT_EQ(currentCodePage(), 1250u) << cp;
    }
    // The failed selections left the 1250 tables in use, not just the number.
    EXPECT_EQ(upperByte(0xB3), 0xA3);

    auto saved = saveCharLocale();
    ASSERT_EQ(saved, std::optional<std::uint32_t>(1250u));
    select(1252);
    EXPECT_EQ(upperByte(0xB3), 0xB3);  // superscript three in 1252
    restoreCharLocale(saved);
    EXPECT_EQ(currentCodePage(), 1250u);
    EXPECT_EQ(upperByte(0xB3), 0xA3);

    restoreCharLocale(std::nullopt);
    EXPECT_EQ(currentCodePage(), 1250u);
}

TEST_F(CodePageTest, CentralEuropean1250) {
    select(1250);
    expectCasePair(0xB3, 0xA3);  // ł Ł
    expectCasePair(0xB9, 0xA5);  // ą Ą
    expectCasePair(0xBF, 0xAF);  // ż Ż
    expectCasePair(0x9A, 0x8A);  // š Š
    expectCasePair(0xE8, 0xC8);  // č Č
    expectCasePair('q', 'Q');

    for (std::uint8_t c = '0'; c <= '9'; ++c) {
        EXPECT_TRUE(isDigitByte(c)) << c;
        EXPECT_TRUE(isWordByte(c)) << c;
        EXPECT_FALSE(isLetterByte(c)) << c;
    }

    EXPECT_FALSE(isLetterByte(0xA0));  // no-break space
    EXPECT_FALSE(isWordByte(0xA0));
    EXPECT_FALSE(isWordByte(0x81));  // undefined
    expectNoCase(0x81);
    EXPECT_TRUE(isLetterByte(0xDF));  // ß, no single-byte upper case
    EXPECT_EQ(upperByte(0xDF), 0xDF);
}

TEST_F(CodePageTest, WesternEuropean1252) {
    select(1252);
    expectCasePair(0xE9, 0xC9);  // é É
    expectCasePair(0xFF, 0x9F);  // ÿ Ÿ, far apart in the code page
    expectCasePair(0x9C, 0x8C);  // œ Œ

    EXPECT_TRUE(isLetterByte(0xDF));  // ß upper-cases to two letters
    expectNoCase(0xDF);
    EXPECT_TRUE(isLetterByte(0xB5));  // µ: its upper case is not in 1252
    expectNoCase(0xB5);
    EXPECT_TRUE(isLetterByte(0xAA));  // ª has no case at all
    expectNoCase(0xAA);

    EXPECT_FALSE(isLetterByte(0xD7));  // × between the capitals
    EXPECT_FALSE(isLetterByte(0xF7));  // ÷ between the small letters
    expectNoCase(0xD7);
    expectNoCase(0xF7);
    EXPECT_FALSE(isDigitByte(0xB2));  // superscript two is no decimal digit
    EXPECT_FALSE(isWordByte(0xB2));
}

// Case forms that are not simple pairs: several bytes share one upper case.
TEST_F(CodePageTest, SharedUpperCaseForms) {
    select(1253);
    expectCasePair(0xF3, 0xD3);         // σ Σ
    EXPECT_EQ(upperByte(0xF2), 0xD3);   // final ς also upper-cases to Σ
    EXPECT_EQ(lowerByte(0xF2), 0xF2);
    EXPECT_EQ(upperByte(0xB5), 0xCC);   // micro sign to Greek capital mu
    EXPECT_EQ(lowerByte(0xCC), 0xEC);   // which lower-cases to the Greek mu

    select(1254);
    EXPECT_EQ(upperByte(0xFD), 'I');  // dotless ı
    EXPECT_EQ(upperByte('i'), 'I');   // not İ: no language-specific rules
    EXPECT_EQ(lowerByte('I'), 'i');
    EXPECT_EQ(lowerByte(0xDD), 0xDD);  // İ lower-cases to two characters
    EXPECT_TRUE(isLetterByte(0xDD));
}

TEST_F(CodePageTest, ThaiAndVietnamese) {
    select(874);
    for (int b = 0xA1; b <= 0xCE; ++b) {  // ก .. ฮ
        auto c = static_cast<std::uint8_t>(b);
        EXPECT_TRUE(isLetterByte(c)) << std::hex << b;
        EXPECT_FALSE(isDigitByte(c)) << std::hex << b;
        expectNoCase(c);
    }
    for (int b = 0xF0; b <= 0xF9; ++b) {  // ๐ .. ๙
        auto c = static_cast<std::uint8_t>(b);
        EXPECT_TRUE(isDigitByte(c)) << std::hex << b;
        EXPECT_TRUE(isWordByte(c)) << std::hex << b;
        EXPECT_FALSE(isLetterByte(c)) << std::hex << b;
    }
    EXPECT_TRUE(isWordByte(0xD1));  // mai han-akat, a vowel mark
    EXPECT_FALSE(isLetterByte(0xD1));
    EXPECT_FALSE(isWordByte(0xDB));  // undefined
    EXPECT_FALSE(isWordByte(0xFB));  // khomut, punctuation

    select(1258);
    EXPECT_TRUE(isWordByte(0xCC));  // combining grave accent
    EXPECT_FALSE(isLetterByte(0xCC));
    EXPECT_FALSE(isDigitByte(0xCC));
    expectNoCase(0xCC);
    expectCasePair(0xF0, 0xD0);  // đ Đ
    expectCasePair(0xFD, 0xDD);  // ư Ư
}

// Structural checks over every table, to catch generator faults such as a
// shifted row or a mapping taken from the wrong code page.
TEST(CodePageTables, ConsistentInEveryCodePage) {
    // The only upper-case mappings that lower-case back to another byte.
    const std::set<std::pair<std::uint32_t, int>> expectedShared = {
        {1253, 0xB5},  // µ -> Μ -> μ
        {1253, 0xF2},  // ς -> Σ -> σ
        {1254, 0xFD},  // ı -> I -> i
    };
    std::set<std::pair<std::uint32_t, int>> shared;

    for (std::uint32_t cp : builtInCodePages) {
        const CodePageTable* t = findCodePageTable(cp);
        ASSERT_NE(t, nullptr) << cp;
        int letters = 0, marks = 0, digits = 0;
        for (int b = 0; b < 256; ++b) {
            SCOPED_TRACE(testing::Message() << "code page " << cp << " byte 0x" << std::hex << b);
            const std::uint8_t f = t->flags[b];
            const int u = t->upper[b], l = t->lower[b];
            EXPECT_EQ(f & ~(charLetter | charDigit | charMark), 0);
            EXPECT_LE(std::popcount(f), 1);
            letters += (f & charLetter) != 0;
            marks += (f & charMark) != 0;
            digits += (f & charDigit) != 0;

            if (b < 0x80) {
                EXPECT_EQ((f & charLetter) != 0, isAsciiUpper(b) || isAsciiLower(b));
                EXPECT_EQ((f & charDigit) != 0, isAsciiDigit(b));
                EXPECT_EQ(f & charMark, 0);
                EXPECT_EQ(u, isAsciiLower(b) ? b - 32 : b);
                EXPECT_EQ(l, isAsciiUpper(b) ? b + 32 : b);
            }

            if (u != b) {
                EXPECT_NE(f & charLetter, 0);
                EXPECT_NE(t->flags[u] & charLetter, 0);
                EXPECT_EQ(l, b);  // a byte is either upper or lower case
                EXPECT_EQ(t->upper[u], u);
                EXPECT_NE(t->lower[u], u);
                EXPECT_EQ(t->upper[t->lower[u]], u);
                if (t->lower[u] != b) shared.insert({cp, b});
            }
            if (l != b) {
                EXPECT_NE(f & charLetter, 0);
                EXPECT_EQ(t->lower[l], l);
                EXPECT_EQ(t->upper[l], b);  // lower-case mappings are all pairs
            }
        }
        EXPECT_GT(letters, 52) << cp;
        EXPECT_GE(digits, 10) << cp;
        if (cp == 874 || cp == 1255 || cp == 1256 || cp == 1258)
            EXPECT_GT(marks, 0) << cp;
        else
            EXPECT_EQ(marks, 0) << cp;
    }
    EXPECT_EQ(shared, expectedShared);
}
