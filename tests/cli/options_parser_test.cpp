#include "cli/options_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/message.h"
#include "common/options.h"
#include "support/run_clx.h"

namespace {

// Parses "clx <args>" with fresh settings; the printed text is kept in out.
struct Parsed {
    int result;
    InputList inputs;
    std::string out;
};

Parsed parse(std::vector<std::string> args) {
    resetOptions();
    useEnglish = true;
    std::vector<const char*> argv = {"clx"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    Parsed p;
    testing::internal::CaptureStdout();
    p.result = parseCommandLine(static_cast<int>(argv.size()), argv.data(), p.inputs);
    std::fflush(stdout);
    p.out = testing::internal::GetCapturedStdout();
    return p;
}

TEST(OptionValues, BlockSizeIsAPowerOfTwoUpTo1024) {
    for (const char* ok : {"1", "2", "1024", " 16", "+64"}) {
        Parsed p = parse({"-j", "-b", ok});
        EXPECT_EQ(p.result, 0) << ok;
    }
    EXPECT_EQ(options.blockSizeKb, 64u);
    for (const char* bad : {"0", "3", "2048", "16k", "1.5", "", "-4", "4294967297", "4 "}) {
        Parsed p = parse({"-j", "-b", bad});
        EXPECT_EQ(p.result, 1) << bad;
        EXPECT_EQ(p.out, std::string("Wrong block size ") + bad + ".\n");
    }
}

TEST(OptionValues, PriorityUpTo255) {
    EXPECT_EQ(parse({"-w", "-p", "254"}).result, 0);
    EXPECT_EQ(options.priority, 254);
    EXPECT_EQ(parse({"-w", "-p", "255"}).result, 0);
    EXPECT_EQ(options.priority, 255);
    for (const char* bad : {"256", "4294967297", "4294967295", "-1", "x"}) EXPECT_EQ(parse({"-w", "-p", bad}).result, 1) << bad;
}

TEST(OptionValues, MapIdWithSigns) {
    struct Row {
        const char* text;
        int result;
        int mode;
        unsigned id;
    };
    const Row rows[] = {
        {"99999999", 0, 1, 99999999}, {"+12", 0, 2, 12}, {"-12", 0, 255, 12}, {"1", 0, 1, 1},
        {"100000000", 1, 0, 0},       {"-0", 1, 0, 0},   {"0", 1, 0, 0},       {"+100000000", 1, 0, 0},
        {"--5", 1, 0, 0},
    };
    for (const Row& r : rows) {
        Parsed p = parse({"-w", "-e", r.text});
        EXPECT_EQ(p.result, r.result) << r.text;
        EXPECT_EQ(options.mapIdMode, r.mode) << r.text;
        EXPECT_EQ(options.newMapId, r.id) << r.text;
    }
}

TEST(OptionValues, VersionForms) {
    struct Row {
        const char* text;
        int result, mode, major, minor, flag;
    };
    const Row rows[] = {
        {".,1", 0, 4, 0, 0, 1},   {".,0", 0, 4, 0, 0, 0},    {"2.10", 0, 3, 2, 10, 0}, {"2.10,1", 0, 7, 2, 10, 1},
        {"255.255,0", 0, 7, 255, 255, 0},                    {".,2", 1, 0, 0, 0, 0},   {"2", 1, 0, 0, 0, 0},
        {"2,10", 1, 0, 0, 0, 0},  {"256.1", 1, 0, 0, 0, 0},  {"2.10,2", 1, 0, 0, 0, 0}, {"2.10.1", 1, 0, 0, 0, 0},
        {"2.10,1x", 1, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        Parsed p = parse({"-w", "-c", r.text});
        EXPECT_EQ(p.result, r.result) << r.text;
        EXPECT_EQ(options.versionMode, r.mode) << r.text;
        EXPECT_EQ(options.versionMajor, r.major) << r.text;
        EXPECT_EQ(options.versionMinor, r.minor) << r.text;
        EXPECT_EQ(options.mapsourceFlag, r.flag) << r.text;
        if (r.result) {
            EXPECT_EQ(p.out, "Wrong version number.\n") << r.text;
        }
    }
}

TEST(OptionValues, FamilyAndProduct) {
    EXPECT_EQ(parse({"-j", "-f", "5"}).result, 0);
    EXPECT_EQ(options.familyMode, 1);
    EXPECT_EQ(options.familyId, 5u);
    EXPECT_EQ(options.productId, 1u);
    EXPECT_EQ(parse({"-j", "-f", "65535,7"}).result, 0);
    EXPECT_EQ(options.familyMode, 3);
    EXPECT_EQ(options.familyId, 65535u);
    EXPECT_EQ(options.productId, 7u);
    EXPECT_EQ(parse({"-j", "-f", "65536"}).out, "Wrong Family ID.\n");
    EXPECT_EQ(parse({"-j", "-f", "99999999999"}).out, "Wrong Family ID.\n");
    for (const char* bad : {"1,65536", "1;2", "1,", "-1", "1,2,3", ""})
        EXPECT_EQ(parse({"-j", "-f", bad}).out, "Wrong Family ID or Product ID.\n") << bad;
    // "-f 0" gives product 1, so a second -f is a repeat.
    Parsed p = parse({"-j", "-f", "0", "-f", "3"});
    EXPECT_EQ(p.result, 1);
    EXPECT_NE(p.out.find("Multiple option -f.\n"), std::string::npos);
}

TEST(OptionValues, TypForms) {
    struct Row {
        const char* text;
        int result, mode;
        unsigned fid, pid, cp;
        const char* message;
    };
    const Row rows[] = {
        {"5", 0, 1, 5, 1, 0, ""},
        {"0", 0, 1, 0, 1, 0, ""},
        {"5,6", 0, 3, 5, 6, 0, ""},
        {"0,6", 0, 2, 0, 6, 0, ""},
        {"0,0,1250", 0, 4, 0, 0, 1250, ""},
        {"5,0,1250", 0, 5, 5, 0, 1250, ""},
        {"5,6,1250", 0, 7, 5, 6, 1250, ""},
        {"65536", 1, 0, 0, 0, 0, "Wrong Family ID.\n"},
        {"1;2", 1, 0, 0, 0, 0, "Wrong parameters for TYP file.\n"},
        {"1,2;3", 1, 0, 0, 0, 0, "Wrong parameters for TYP file.\n"},
        {"1,65536", 1, 0, 0, 0, 0, "Wrong Family ID or Product ID.\n"},
        {"1,2,65536", 1, 0, 0, 0, 0, "Wrong CodePage.\n"},
        {"1,2,3,", 1, 0, 0, 0, 0, "Wrong parameters for TYP file.\n"},
        {"x", 1, 0, 0, 0, 0, "Wrong parameters for TYP file.\n"},
    };
    for (const Row& r : rows) {
        Parsed p = parse({"-w", "-y", r.text});
        EXPECT_EQ(p.result, r.result) << r.text;
        EXPECT_EQ(options.typMode, r.mode) << r.text;
        EXPECT_EQ(options.typFamilyId, r.fid) << r.text;
        EXPECT_EQ(options.typProductId, r.pid) << r.text;
        EXPECT_EQ(options.typCodePage, r.cp) << r.text;
        EXPECT_EQ(p.out, r.message) << r.text;
    }
}

TEST(OptionValues, MapsetCodePageAndName) {
    EXPECT_EQ(parse({"-S", "-c", "65535"}).result, 0);
    EXPECT_EQ(options.mapsetCodePage, 65535u);
    EXPECT_EQ(parse({"-S", "-c", "65536"}).out, "Wrong CodePage 65536.\n");
    EXPECT_EQ(parse({"-S"}).result, 0);
    EXPECT_EQ(*options.mapsetFileName, "mapset");
    EXPECT_EQ(parse({"-S", "-n", ""}).result, 0);
    EXPECT_EQ(*options.mapsetFileName, "mapset");
    EXPECT_EQ(parse({"-S", "-n", "C:my \xb3map"}).result, 0);
    EXPECT_EQ(*options.mapsetFileName, "C:my \xb3map");
}

TEST(OptionValues, GroupTakesValuesInLetterOrder) {
    Parsed p = parse({"-job", "all.img", "8", "a.img"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(*options.outputName, "all.img");
    EXPECT_EQ(options.blockSizeKb, 8u);
    ASSERT_EQ(p.inputs.size(), 1u);
    EXPECT_EQ(p.inputs[0].path, "a.img");
    // A value letter takes the next argument whatever it looks like.
    p = parse({"-j", "-o", "-x", "a.img"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(*options.outputName, "-x");
    EXPECT_EQ(options.noMps, 0);
}

TEST(OptionLetters, MeaningDependsOnCommand) {
    parse({"-w", "-t", "-h", "-l"});
    EXPECT_EQ(options.transparency, 1);
    EXPECT_EQ(options.refreshDate, 1);
    EXPECT_EQ(options.shortHeader, 0);
    EXPECT_EQ(options.labelCase, 2);
    parse({"-w", "-n", "-L", "-1"});
    EXPECT_EQ(options.transparency, 255);
    EXPECT_EQ(options.labelCase, 3);
    parse({"-S", "-t", "-h", "-L", "-q", "-3", "-r"});
    EXPECT_EQ(options.writeSplitList, 1);
    EXPECT_EQ(options.shortHeader, 1);
    EXPECT_EQ(options.limitMap, 1);
    EXPECT_EQ(options.limitPreview, 1);
    EXPECT_EQ(options.limitSouth, -4171002);
    EXPECT_EQ(options.limitEast, 8318702);
    EXPECT_EQ(options.addEmptyDem, 1);
    EXPECT_EQ(options.dropDem, 0);
    EXPECT_EQ(options.splitKind, 2);
    EXPECT_EQ(options.mapsourceSplit, 1);
    parse({"-j", "-q", "-z", "-a", "-x"});
    EXPECT_EQ(options.dropDem, 1);
    EXPECT_EQ(options.dropRouting, 1);
    EXPECT_EQ(options.addEmptyDem, 0);
    EXPECT_EQ(options.ntFormat + options.useOtherData + options.noMps, 3);
    for (auto [letter, kind] : {std::pair{"-s", 1}, {"-G", 3}, {"-g", 4}, {"-k", 5}}) {
        parse({letter});
        EXPECT_EQ(options.splitKind, kind) << letter;
    }
    EXPECT_EQ(options.emptyMaps, 1);
}

class ListFile : public ::testing::Test {
protected:
    ScratchDir dir;
    std::vector<std::string> read(const std::string& content, int expected) {
        writeFile(dir / "list.txt", content);
        InputList inputs;
        resetOptions();
        testing::internal::CaptureStdout();
        int n = readFileList((dir / "list.txt").c_str(), inputs);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(n, expected);
        std::vector<std::string> names;
        for (const InputFile& f : inputs) names.push_back(f.path);
        return names;
    }
};

TEST_F(ListFile, TrimsBlanksControlsAndLineEnds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(read("a.img\r\n\r\n  b c.img \t\r\n\n\x01x.img\x02\n", 3), (V{"a.img", "b c.img", "x.img"}));
    EXPECT_EQ(read("last.img", 1), V{"last.img"});
    EXPECT_EQ(read("", 0), V{});
    EXPECT_EQ(read(" \n\t\r\n", 0), V{});
    // Bytes above 127 belong to the name, even at its ends.
    EXPECT_EQ(read("\xb3z.img\xb3\n", 1), V{"\xb3z.img\xb3"});
    std::string longName(5000, 'a');
    EXPECT_EQ(read(longName + "\r\n" + longName + "b\n", 2), (V{longName, longName + "b"}));
}

TEST_F(ListFile, MissingListFails) {
    InputList inputs;
    testing::internal::CaptureStdout();
    EXPECT_EQ(readFileList((dir / "none.txt").c_str(), inputs), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "File list open error, file: " + (dir / "none.txt").string() + ".\n");
    EXPECT_TRUE(inputs.empty());
}

TEST(FileNameCharacters, RejectsSeparatorsWildcardsQuotesAndControls) {
    for (const char* bad : {"a/b", "a\\b", "a*", "a?", "a\"b", "a\tb", "\x1f"}) EXPECT_TRUE(hasBadFileNameCharacter(bad)) << bad;
    for (const char* ok : {"C:map", "my map", "\xb3\xf3" "d\xbc", "a.b-c_d"}) EXPECT_FALSE(hasBadFileNameCharacter(ok)) << ok;
}

}  // namespace
