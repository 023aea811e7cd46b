// Command lines run through the built program: exit code and exact output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_clx.h"

namespace {

std::string usage(const std::string& name) { return readFile(testData("usage/" + name + ".txt")); }

struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* lang;  // "en" or "pl"
    int exitCode;
    std::string out;   // after the banner
};

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, PrintsExactlyAndExits) {
    const Case& c = GetParam();
    ScratchDir dir;
    writeFile(dir / "a.img", readFile(testData("img/63240001.img")));
    writeFile(dir / "b.img", readFile(testData("img/63240002.img")));
    writeFile(dir / "list.txt", " b.img \r\n\na.img\n");
    writeFile(dir / "empty.txt", "");
    ClxResult r = runClx(c.args, std::string(c.lang) == "pl" ? "pl_PL.UTF-8" : "en_US.UTF-8", dir.path());
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, kBanner + c.out);
    EXPECT_EQ(r.err, "");
}

// Every situation in which usage texts appear, in both languages.
std::vector<Case> usageCases() {
    std::vector<Case> cases;
    for (const char* lang : {"en", "pl"}) {
        std::string l = lang;
        cases.push_back({"NoArguments", {}, lang, 1, usage("summary_" + l)});
        cases.push_back({"HelpWithoutCommand", {"-?"}, lang, 1, usage("help_" + l)});
        for (char cmd : std::string("jSsGgkw")) {
            std::string block = usage(std::string("block_") + cmd + "_" + l);
            cases.push_back({"CommandHelp", {std::string("-") + cmd + "?"}, lang, 1, block});
            cases.push_back({"CommandHelpSeparate", {std::string("-") + cmd, "-?"}, lang, 1, block});
        }
        cases.push_back({"SecondCommand", {"-js"}, lang, 1,
                         (l == "en" ? "Wrong option -s for command -j\n" : "Zła opcja -s dla komendy -j\n") +
                             usage("block_j_" + l)});
        cases.push_back({"WrongOptionForWrite", {"-w", "-o", "x"}, lang, 1,
                         (l == "en" ? "Wrong option -o for command -w\n" : "Zła opcja -o dla komendy -w\n") +
                             usage("block_w_" + l)});
        cases.push_back({"OptionBeforeCommand", {"-o", "x", "-j"}, lang, 1,
                         (l == "en" ? "Wrong command -o\n" : "Nieznana komenda -o\n") + usage("summary_" + l)});
        cases.push_back({"MissingValue", {"-j", "-b"}, lang, 1,
                         usage("summary_" + l) + (l == "en" ? "Size missing, opion -b.\n" : "Brak rozmiaru dla -b.\n")});
        cases.push_back({"RepeatedValue", {"-j", "-b", "4", "-b", "8", "a.img"}, lang, 1,
                         usage("summary_" + l) + (l == "en" ? "Multiple option -b.\n" : "Powielenie argumentu -b.\n")});
        cases.push_back({"MissingOutputName", {"-s", "-o"}, lang, 1,
                         usage("block_s_" + l) + (l == "en" ? "Name missing, opion -o.\n" : "Brak nazwy dla -o.\n")});
        cases.push_back({"RepeatedOutputName", {"-G", "-o", "x", "-o", "y"}, lang, 1,
                         usage("block_G_" + l) + (l == "en" ? "Multiple option -o.\n" : "Powielenie argumentu -o.\n")});
        cases.push_back({"BadMapsetFileName", {"-S", "-n", "a/b", "a.img"}, lang, 1,
                         usage("summary_" + l) +
                             (l == "en" ? "Wrong charactes in file name: a/b\n" : "Złe znaki w nazwie plików: a/b\n")});
        cases.push_back({"NoInputFiles", {"-j", "-o", "out.img"}, lang, 3,
                         usage("summary_" + l) + (l == "en" ? "Input files missing.\n" : "Brak plikow wejsciowych.\n")});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Usage, CommandLine, ::testing::ValuesIn(usageCases()), [](const auto& info) {
    return std::string(info.param.name) + "_" + info.param.lang + "_" + std::to_string(info.index);
});

// The run sequence and its exit codes.
std::vector<Case> runCases() {
    return {
        {"OnlyAFile", {"a.img"}, "en", 0, "Nothing to do, use command -j, -s, -S, -g, -G, -w.\n"},
        {"OnlyAFilePolish", {"a.img"}, "pl", 0, "Nie ma nic do zrobienia, użyj komendy -j, -s, -S, -g, G, -w.\n"},
        {"FirstInputMissing", {"-j", "-o", "out.img", "missing.img", "a.img"}, "en", 2, "Open error, file missing.img.\n"},
        {"SecondInputMissing", {"-v", "a.img", "missing.img"}, "pl", 2,
         "Plik wejściowy: a.img.\nPlik wejściowy: missing.img.\nBłąd otwarcia pliku missing.img.\n"},
        {"JoinWithoutOutput", {"-j", "a.img", "b.img"}, "en", 3, "Output file name missing.\n"},
        {"JoinWithEmptyOutput", {"-j", "-o", "", "a.img"}, "pl", 3, "Brak nazwy pliku wyjsciowego.\n"},
        {"WriteWithFilterOnly", {"-w", "-f", "5", "a.img"}, "en", 3, "No changes for option -w.\n"},
        {"WriteWithPriority255", {"-w", "-p", "255", "a.img"}, "pl", 3, "Brak zmian dla opcji -w.\n"},
        {"VerboseOnlyForLaterFiles", {"a.img", "-v", "b.img"}, "en", 0,
         "Input file: b.img.\nNothing to do, use command -j, -s, -S, -g, -G, -w.\n"},
        {"GroupedCommandAndVerbose", {"-jv", "a.img"}, "en", 3, "Input file: a.img.\nOutput file name missing.\n"},
        {"ValueLettersTakeArgumentsInOrder", {"-job", "out.img", "2048", "a.img"}, "en", 1, "Wrong block size 2048.\n"},
        {"EnglishBeforeError", {"-E", "-j", "-b", "16k"}, "pl", 1, "Wrong block size 16k.\n"},
        {"EnglishAfterError", {"-j", "-b", "16k", "-E"}, "pl", 1, "Zły rozmiar bloku 16k.\n"},
        {"PolishHintAfterEnglish", {"-E", "-k?"}, "pl", 1, usage("block_k_en")},
        {"EnglishHintAfterPolish", {"-P", "-k?"}, "en", 1, usage("block_k_pl")},
        {"PriorityTooLarge", {"-w", "-p", "256"}, "en", 1, "Wrong priority 256.\n"},
        {"NegativeFamily", {"-j", "-f", "-1"}, "en", 1, "Wrong Family ID or Product ID.\n"},
        {"FamilyTooLarge", {"-j", "-f", "65536"}, "pl", 1, "Zły numer Family.\n"},
        {"ProductTooLarge", {"-w", "-f", "1,65536"}, "en", 1, "Wrong Family ID or Product ID.\n"},
        {"MapIdSignNotShown", {"-w", "-e", "-0"}, "en", 1, "Wrong map ID number 0.\n"},
        {"MapIdTooLarge", {"-w", "-e", "+100000000"}, "en", 1, "Wrong map ID number 100000000.\n"},
        {"TypSeparator", {"-w", "-y", "1;2"}, "en", 1, "Wrong parameters for TYP file.\n"},
        {"TypCodePageTooLarge", {"-w", "-y", "1,2,65536"}, "pl", 1, "Zły numer CodePage.\n"},
        {"VersionWithoutMinor", {"-w", "-c", "2"}, "en", 1, "Wrong version number.\n"},
        {"MapsetCodePage", {"-S", "-c", "70000"}, "en", 1, "Wrong CodePage 70000.\n"},
        {"PriorityRepeatAfter255IsAllowed", {"-w", "-p", "255", "-p", "3", "-v", "a.img"}, "en", 0,
         "Input file: a.img.\nWrite into map a.img.\n  Map 63240001 priority  3 N\n"},
        {"MissingList", {"-@"}, "en", 1, usage("summary_en") + "File list missing, opion -@.\n"},
        {"UnreadableList", {"-@", "nolist.txt"}, "pl", 1, "Błąd otwarcia listy plików, plik: nolist.txt.\n"},
        {"ListNamesGoWhereTheListStands", {"-v", "a.img", "-@", "list.txt", "b.img"}, "en", 0,
         "Input file: a.img.\nInput file: b.img.\nInput file: a.img.\nInput file: b.img.\n"
         "Nothing to do, use command -j, -s, -S, -g, -G, -w.\n"},
        {"EmptyListMeansNoInputs", {"-i", "-@", "empty.txt"}, "en", 3, usage("summary_en") + "Input files missing.\n"},
        {"VersionFlag", {"--version"}, "en", 0, ""},
        {"HelpFlag", {"--help"}, "pl", 0, usage("help_pl")},
    };
}

INSTANTIATE_TEST_SUITE_P(Run, CommandLine, ::testing::ValuesIn(runCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// LC_ALL, then LC_MESSAGES, then LANG; only "pl" and "pl_..." or "pl@..." choose Polish.
TEST(CommandLineRun, LanguageFromEnvironment) {
    const std::pair<std::vector<std::string>, bool> envs[] = {
        {{"LC_ALL=pl_PL.UTF-8"}, true}, {{"LC_ALL=pl"}, true}, {{"LC_ALL=pl@euro"}, true},
        {{"LC_ALL=", "LC_MESSAGES=pl_PL"}, true}, {{"LC_ALL=C", "LC_MESSAGES=pl_PL"}, false},
        {{"LC_MESSAGES=en_GB"}, false}, {{"LC_ALL=plx"}, false}, {{"LC_ALL=POSIX"}, false},
    };
    for (const auto& [vars, polish] : envs)
        EXPECT_EQ(runClx({"-w"}, "pl_PL.UTF-8", {}, vars).out,
                  kBanner + usage(polish ? "summary_pl" : "summary_en") +
                      (polish ? "Brak plikow wejsciowych.\n" : "Input files missing.\n"))
            << vars.back();
    EXPECT_EQ(runClx({"-w"}, "").out, kBanner + usage("summary_en") + "Input files missing.\n");
}

}  // namespace
