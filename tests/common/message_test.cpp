#include "common/message.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace {

// Each pair is checked when compiled; this makes sure the check tells pairs apart.
TEST(MessagePairs, ConversionsMustMatchInOrderWithFlagsAndWidth) {
    EXPECT_TRUE(msgcheck::sameConversions("%-10s %3.6lf, %02X %%", "%-10s 100%% %3.6lf %02X"));
    for (auto [a, b] : {std::pair{"%s", "%u"}, {"%s %u", "%u %s"}, {"%s", "%s %s"}, {"%02X", "%X"},
                        {"%%s", "%s"}, {"100%", "100%"}, {"%q", "%q"}, {"%-5s", "%5s"}})
        EXPECT_FALSE(msgcheck::sameConversions(a, b)) << a << " / " << b;
}

std::string format(std::string_view f, const MsgArg& arg) { return formatText(f, std::span<const MsgArg>(&arg, 1)); }

// Text from files must not reach the console with its control bytes, whether
// it comes as FileText or as a fixed field (up to its NUL); program strings go
// out as they are. Padding counts UTF-8 characters, other text by bytes.
TEST(MessageFormat, FileTextDotsAndPadding) {
    const std::string plain = "\x1b[2J\r\n\x7f", bell = "\x07";  // MsgArg only views them
    const FixedText<6> field{"a\x1b[\x7f\0z"};
    const std::tuple<const char*, MsgArg, std::string> rows[] = {
        {"[%s]", FileText{"\x1b[2J\r\n\x7f\xb3 ok"}, "[.[2J...\xb3 ok]"},
        {"[%-6s]", FileText{"\t\x01"}, "[..    ]"}, {"[%c]", FileText{"\n"}, "[.]"}, {"[%s]", field, "[a.[.]"},
        {"[%s]", plain, "[\x1b[2J\r\n\x7f]"}, {"[%c]", bell, "[\x07]"},
        {"[%-10s]", "nagłówek:", "[nagłówek: ]"}, {"[%.2s]", "łódź", "[łó]"},
        {"[%-4s]", "\xb3\xb3", "[\xb3\xb3  ]"},  // code page text
        {"[%-3s]", FileText{"\xc5"}, "[\xc5  ]"},  // a cut UTF-8 sequence
        {"[%s|%u]", 12u, "[12|]"},                 // a mismatched kind prints sanely
    };
    for (const auto& [f, arg, shown] : rows) EXPECT_EQ(format(f, arg), shown) << testing::PrintToString(shown);
}

}  // namespace
