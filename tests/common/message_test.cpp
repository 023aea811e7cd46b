#include "common/message.h"

#include <gtest/gtest.h>

namespace {

using msgcheck::sameConversions;

// Every pair is checked when it is compiled; this makes sure the check itself
// tells pairs apart.
TEST(MessagePairs, ConversionsMustMatchInOrder) {
    EXPECT_TRUE(sameConversions("Open error, file %s.\n", "Błąd otwarcia pliku %s.\n"));
    EXPECT_TRUE(sameConversions("%s %u %02X %%", "%s %u %02X 100%%"));
    EXPECT_TRUE(sameConversions("%-10s %3.6lf %llu", "%-10s %3.6lf %llu"));
    EXPECT_FALSE(sameConversions("%s", "%u"));
    EXPECT_FALSE(sameConversions("%s %u", "%u %s"));
    EXPECT_FALSE(sameConversions("%s", "%s %s"));
    EXPECT_FALSE(sameConversions("%02X", "%X"));
    EXPECT_FALSE(sameConversions("%%s", "%s"));
    EXPECT_FALSE(sameConversions("100%", "100%"));
    EXPECT_FALSE(sameConversions("%q", "%q"));
}

std::string format(std::string_view f, std::initializer_list<MsgArg> args) {
    return formatText(f, std::span<const MsgArg>(args.begin(), args.size()));
}

TEST(MessageFormat, PrintfRules) {
    EXPECT_EQ(format("%s-%u-%d-%c", {"a", 7u, -3, 'x'}), "a-7--3-x");
    EXPECT_EQ(format("%08u|%02X|%x|%9u", {42u, 10u, 255u, 5u}), "00000042|0A|ff|        5");
    EXPECT_EQ(format("%3.6lf|%1.7lf", {1.5, -0.25}), "1.500000|-0.2500000");
    EXPECT_EQ(format("%llu 100%%", {std::uint64_t{1} << 40}), "1099511627776 100%");
    EXPECT_EQ(format("%s", {}), "");
}

TEST(MessageFormat, PadsUtf8ByCharactersAndOtherBytesByBytes) {
    EXPECT_EQ(format("[%-10s]", {"nagłówek:"}), "[nagłówek: ]");
    EXPECT_EQ(format("[%10s]", {"ąę"}), "[        ąę]");
    EXPECT_EQ(format("[%-4s]", {"\xb3\xb3"}), "[\xb3\xb3  ]");
    EXPECT_EQ(format("[%.2s]", {"łódź"}), "[łó]");
}

TEST(MessageFormat, MismatchedArgumentsStaySafe) {
    EXPECT_EQ(format("%u", {"text"}), "0");
    EXPECT_EQ(format("%s", {12u}), "12");
    EXPECT_EQ(format("%s %s", {"one"}), "one ");
}

}  // namespace
