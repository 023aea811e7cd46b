#include "cli/options_parser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "common/message.h"
#include "support/run_clx.h"

namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

// Parses "clx <args>" into fresh settings; returns the result, keeps what was said.
int parse(const Names& args, Options& options, std::string& said) {
    useEnglish = true;
    std::vector<const char*> argv = {"clx"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    Names inputs;
    testing::internal::CaptureStdout();
    int result = parseCommandLine(static_cast<int>(argv.size()), argv.data(), options, inputs);
    said = testing::internal::GetCapturedStdout();
    return result;
}

// The numeric settings that were given, in one line.
std::string describe(const Options& o) {
    std::ostringstream s;
    if (o.blockSizeKb) s << " b" << o.blockSizeKb;
    if (o.mapIdMode) s << " e" << +o.mapIdMode << ':' << o.newMapId;
    if (o.versionMode)
        s << " c" << +o.versionMode << ':' << +o.versionMajor << '.' << +o.versionMinor << ',' << +o.mapsourceFlag;
    if (o.familyMode) s << " f" << +o.familyMode << ':' << o.familyId << ',' << o.productId;
    if (o.typMode) s << " y" << +o.typMode << ':' << o.typFamilyId << ',' << o.typProductId << ',' << o.typCodePage;
    return s.str();
}

// Numbers take blanks and "+" before them, never after; anything beyond 32
// bits is too large, never wrapped into range (4294967298 would wrap to 2).
TEST(OptionValues, NumberSyntaxAndRepeats) {
    struct Row { char command, option; const char *value, *settings; };  // settings "": refused
    const Row rows[] = {
        {'j', 'b', "\t+64", " b64"}, {'j', 'b', "4 ", ""}, {'j', 'b', "++4", ""},
        {'j', 'b', "18446744073709551617", ""}, {'w', 'e', "+ 12", " e2:12"}, {'w', 'e', "-12", " e255:12"},
        {'w', 'e', "99999999", " e1:99999999"}, {'w', 'e', "--5", ""}, {'w', 'c', ".,1", " c4:0.0,1"},
        {'w', 'c', "2.10", " c3:2.10,0"}, {'w', 'c', " 2. 10,1", " c7:2.10,1"}, {'w', 'c', "2.10.1", ""},
        {'w', 'c', "4294967298.1", ""}, {'j', 'f', "5", " f1:5,1"}, {'j', 'f', "65535, 7", " f3:65535,7"},
        {'j', 'f', "1,2,3", ""}, {'w', 'y', "5", " y1:5,1,0"}, {'w', 'y', "0,6", " y2:0,6,0"},
        {'w', 'y', "5,6", " y3:5,6,0"}, {'w', 'y', "5,0", " y1:5,0,0"}, {'w', 'y', "0,0,1250", " y4:0,0,1250"},
        {'w', 'y', "5,0,1250", " y5:5,0,1250"},
        {'w', 'y', "5,6,1250", " y7:5,6,1250"}, {'w', 'y', "1,2;3", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << '-' << r.option << " [" << r.value << "]");
        Options options;
        std::string said;
        EXPECT_EQ(parse({{'-', r.command}, {'-', r.option}, r.value}, options, said), *r.settings ? 0 : 1);
        EXPECT_EQ(describe(options), r.settings);
        EXPECT_EQ(said.empty(), *r.settings != 0);  // a refusal says why
    }
    // Repeats count by value: "-f 0" still sets product 1, "-n ''" a name.
    for (const Names& args : {Names{"-j", "-f", "0", "-f", "3"}, Names{"-S", "-n", "", "-n", "x"}}) {
        Options options;
        std::string said;
        EXPECT_EQ(parse(args, options, said), 1) << args[1];
        EXPECT_TRUE(said.ends_with("Multiple option " + args[3] + ".\n")) << said;
    }
}

class ListFile : public ::testing::Test {
protected:
    ScratchDir dir;
    int read(const std::string& path, Names& names) {
        testing::internal::CaptureStdout();
        int n = readFileList(path.c_str(), Options{}, names);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), n < 0 ? "File list read error, file: " + path + ".\n" : "");
        return n;
    }
    Names readText(const std::string& text) {
        writeFile(dir / "list.txt", text);
        Names names;
        return read((dir / "list.txt").string(), names) >= 0 ? names : Names{"failed"};
    }
};

// A NUL ends a name, and the blanks before it go too; code page letters (0xB3) are no blanks.
TEST_F(ListFile, TrimsAroundNamesAndSkipsEmptyLines) {
    const std::pair<std::string, Names> rows[] = {
        {"a.img\r\n\r\n  b c.img \t\r\n\n\x01x.img\x02\n", {"a.img", "b c.img", "x.img"}},
        {"a.img \0junk\ny\n"s, {"a.img", "y"}}, {" \0b.img\n"s, {}}, {"\xb3z.img\xb3", {"\xb3z.img\xb3"}},
    };
    for (const auto& [text, names] : rows) EXPECT_EQ(readText(text), names) << text.substr(0, 20);
}

TEST_F(ListFile, ReadThroughAPipe) {
    const std::string fifo = (dir / "list").string(), longName(200000, 'p');
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        std::ofstream(fifo, std::ios::binary) << "  a.img\r\n" << longName << "\n\n" << std::flush << "\tlast.img";
    });
    Names names = {"first.img"};
    EXPECT_EQ(read(fifo, names), 3);
    writer.join();
    EXPECT_EQ(names, (Names{"first.img", "a.img", longName, "last.img"}));
    EXPECT_EQ(read(dir.path().string(), names), -1);  // a directory opens but cannot be read
}

}  // namespace
