// Install and uninstall scripts: exact text in both languages; file text stays on its line and in its quotes.
#include "mapset/install_scripts.h"

#include <gtest/gtest.h>

#include "common/message.h"

namespace {

using Lines = std::vector<std::string>;

std::string joined(std::initializer_list<Lines> parts) {
    std::string out;
    for (const Lines& part : parts) for (const std::string& line : part) out += line + "\r\n";
    return out;
}

long lineCount(const std::string& text) { long n = 0; for (char c : text) n += c == '\n'; return n; }

const ScriptSettings kFamily{"mapset", "Test maps", 1234, 1, false, "", ""};
const Lines kHeadingEnd = {"echo -", R"(echo -  Map:  "Test maps")", "echo -  FID:  1234", "echo -  PID:  1", "echo -",
                           "echo -  Press Enter to continue or Ctrl-C to abort.", "echo -", "pause", ""};
const Lines kKeyLookup = {R"(set KEY=HKLM\SOFTWARE\Garmin\MapSource)", "reg QUERY %KEY% 2>NUL >NUL",
    "if not errorlevel 1 goto key_ok", R"(set KEY=HKLM\SOFTWARE\Wow6432Node\Garmin\MapSource)",
    "reg QUERY %KEY% 2>NUL >NUL", "if not errorlevel 1 goto key_ok", "REM Mapsource not installed?",
    R"(reg QUERY HKLM\SOFTWARE\Wow6432Node 2>NUL >NUL)", "if not errorlevel 1 goto key_ok",
    R"(set KEY=HKLM\SOFTWARE\Garmin\MapSource)", ":key_ok", ""};

// The English scripts of a family in full, then variants by their lines (Polish last: it stays switched on).
TEST(InstallScripts, FamilyScriptsAndTheirVariants) {
    const bool english = std::exchange(useEnglish, true);
    const std::string install = installScript(kFamily), uninstall = uninstallScript(kFamily);
    EXPECT_EQ(install, joined({
        {"echo off", "echo -", "echo -", "echo -  This batch will install map for Mapsource"}, kHeadingEnd,
        {R"(if exist "%~dp0mapset.img" goto :INSTREG)", "echo Compiling preview map.", R"(cgpsmapper "mapset.mp")",
         R"(if exist "%~dp0mapset.img" goto :INSTREG)", "echo File missing: mapset.img, aborting install.", "pause",
         "exit 1", "", ":INSTREG", "echo Adding registry keys.", ""}, kKeyLookup,
        {R"(reg ADD %KEY%\Families\FAMILY_1234 /v ID /t REG_BINARY /d D204 /f)",
         R"(reg ADD %KEY%\Families\FAMILY_1234\1 /v Loc /t REG_SZ /d "%~dp0\" /f)",
         R"(reg ADD %KEY%\Families\FAMILY_1234\1 /v Bmap /t REG_SZ /d "%~dp0mapset.img" /f)",
         R"(reg ADD %KEY%\Families\FAMILY_1234\1 /v Tdb /t REG_SZ /d "%~dp0mapset.tdb" /f)", "pause", "exit 0"}}));
    EXPECT_EQ(uninstall, joined({
        {"echo off", "echo -", "echo -", "echo -  This batch will uninstall map from Mapsource."}, kHeadingEnd,
        kKeyLookup, {R"(reg DELETE %KEY%\Families\FAMILY_1234 /f)", "pause", "exit 0"}}));
    struct Row { ScriptSettings (*make)(ScriptSettings); Lines install; std::string uninstall; long added; } rows[] = {
        {[](ScriptSettings s) { s.trfFile = "t.trf", s.typFile = "\".typ", s.baseName = "%\n"; return s; },
         {R"(reg ADD %KEY%\Families\FAMILY_1234 /v IDX /t REG_SZ /d "%~dp0%% .mdx" /f)",
          R"(reg ADD %KEY%\Families\FAMILY_1234 /v TRF /t REG_SZ /d "%~dp0t.trf" /f)",
          R"(reg ADD %KEY%\Families\FAMILY_1234 /v TYP /t REG_SZ /d "%~dp0'.typ" /f)"}, "Families\\FAMILY_1234 /f", 3},
        {[](ScriptSettings s) { s.ntFamilies = true; return s; },
         {R"(reg ADD %KEY%\FamiliesNT\FAMILY_1234\1 /v Loc /t REG_SZ /d "%~dp0\" /f)"}, "NT\\FAMILY_1234 /f", 0},
        {[](ScriptSettings s) { s.familyId = 0, s.productId = 7; return s; },
         {":key_ok", "", R"(reg ADD %KEY%\Products\7 /v Loc /t REG_SZ /d "%~dp0\" /f)"}, "Products\\7 /f", -1},
        {[](ScriptSettings s) { s.mapsetName = std::string("a\"b%c&\r\nd\0e", 11); return s; },
         {R"(echo -  Map:  "a'b%%c&  d")", "echo -  FID:  1234"}, R"(echo -  Map:  "a'b%%c&  d")", 0},
        {[](ScriptSettings s) { useEnglish = false; return s; }, {"echo -   FID:  1234"}, "echo -  Nacisnij Enter", 0},
    };
    for (const Row& row : rows) {
        const ScriptSettings settings = row.make(kFamily);
        const std::string changedInstall = installScript(settings), changedUninstall = uninstallScript(settings);
        EXPECT_NE(changedInstall.find(joined({row.install})), std::string::npos) << changedInstall;
        EXPECT_NE(changedUninstall.find(row.uninstall), std::string::npos) << changedUninstall;
        EXPECT_EQ(lineCount(changedInstall), lineCount(install) + row.added) << changedInstall;
        EXPECT_EQ(lineCount(changedUninstall), lineCount(uninstall)) << changedUninstall;
    }
    useEnglish = english;
}

}  // namespace
