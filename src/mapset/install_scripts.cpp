#include "mapset/install_scripts.h"

#include <cstdio>
#include <string_view>

#include "common/message.h"

namespace {

constexpr Msg kInstallTitle{"This batch will install map for Mapsource", "Ten batch zainstaluje mape dla Mapsource"};
constexpr Msg kUninstallTitle{"This batch will uninstall map from Mapsource.",
                              "Ten batch odinstaluje mape z Mapsource."};
constexpr Msg kNameLabel{"Map", "Mapa"};
constexpr Msg kFamilyLabel{"FID", " FID"};
constexpr Msg kProductLabel{"PID", " PID"};
constexpr Msg kPrompt{"Press Enter to continue or Ctrl-C to abort.",
                      "Nacisnij Enter aby zainstalowac lub Ctrl-C aby zrezygnowac."};
constexpr Msg kCompiling{"Compiling preview map.", "Kompilacja mapy pogladowej."};
constexpr Msg kMissing{"File missing:", "Brak pliku:"};
constexpr Msg kGivingUp{"aborting install", "instalacja zaniechana"};
constexpr Msg kRegistry{"Adding registry keys.", "Dodanie kluczy do rejestru."};

std::string number(std::uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(value));
    return buf;
}

void add(std::string& out, const std::string& line) { out += line + "\r\n"; }

void addHeading(std::string& out, const ScriptSettings& settings, const Msg& title) {
    for (const char* line : {"echo off", "echo -", "echo -"}) add(out, line);
    add(out, "echo -  " + messageText(title));
    add(out, "echo -");
    add(out, "echo -  " + messageText(kNameLabel) + ":  \"" + scriptText(settings.mapsetName) + "\"");
    add(out, "echo -  " + messageText(kFamilyLabel) + ":  " + number(settings.familyId));
    add(out, "echo -  " + messageText(kProductLabel) + ":  " + number(settings.productId));
    add(out, "echo -");
    add(out, "echo -  " + messageText(kPrompt));
    for (const char* line : {"echo -", "pause", ""}) add(out, line);
}

// Where the desktop program keeps its keys: the 64-bit registry view on
// 64-bit Windows when it is not installed yet.
void addKeyLookup(std::string& out) {
    for (const char* line :
         {"set KEY=HKLM\\SOFTWARE\\Garmin\\MapSource", "reg QUERY %KEY% 2>NUL >NUL", "if not errorlevel 1 goto key_ok",
          "set KEY=HKLM\\SOFTWARE\\Wow6432Node\\Garmin\\MapSource", "reg QUERY %KEY% 2>NUL >NUL",
          "if not errorlevel 1 goto key_ok", "REM Mapsource not installed?",
          "reg QUERY HKLM\\SOFTWARE\\Wow6432Node 2>NUL >NUL", "if not errorlevel 1 goto key_ok",
          "set KEY=HKLM\\SOFTWARE\\Garmin\\MapSource", ":key_ok", ""})
        add(out, line);
}

// The mapset's own key: its family's, or its product's when it has no family.
std::string mapsetKey(const ScriptSettings& settings) {
    if (settings.familyId == 0) return "%KEY%\\Products\\" + number(settings.productId);
    return "%KEY%\\" + std::string(settings.ntFamilies ? "FamiliesNT" : "Families") + "\\FAMILY_" +
           number(settings.familyId);
}

void addValue(std::string& out, const std::string& key, const char* name, const std::string& file) {
    add(out, "reg ADD " + key + " /v " + name + " /t REG_SZ /d \"%~dp0" + file + "\" /f");
}

}  // namespace

std::string scriptText(const std::string& text) {
    std::string out;
    for (char c : std::string_view(text).substr(0, text.find('\0'))) {
        if (c == '%') out += "%%";
        else if (c == '"') out += '\'';
        else out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out;
}

std::string installScript(const ScriptSettings& settings) {
    const std::string base = scriptText(settings.baseName);
    const std::string family = mapsetKey(settings);
    std::string out;
    addHeading(out, settings, kInstallTitle);
    add(out, "if exist \"%~dp0" + base + ".img\" goto :INSTREG");
    add(out, "echo " + messageText(kCompiling));
    add(out, "cgpsmapper \"" + base + ".mp\"");
    add(out, "if exist \"%~dp0" + base + ".img\" goto :INSTREG");
    add(out, "echo " + messageText(kMissing) + " " + base + ".img, " + messageText(kGivingUp) + ".");
    for (const char* line : {"pause", "exit 1", "", ":INSTREG"}) add(out, line);
    add(out, "echo " + messageText(kRegistry));
    add(out, "");
    addKeyLookup(out);
    std::string product = family;
    if (settings.familyId != 0) {
        char id[8];
        std::snprintf(id, sizeof id, "%02X%02X", settings.familyId & 0xFFu, (settings.familyId >> 8) & 0xFFu);
        add(out, "reg ADD " + family + " /v ID /t REG_BINARY /d " + id + " /f");
        if (!settings.trfFile.empty()) {
            addValue(out, family, "IDX", base + ".mdx");
            addValue(out, family, "TRF", scriptText(settings.trfFile));
        }
        if (!settings.typFile.empty()) addValue(out, family, "TYP", scriptText(settings.typFile));
        product += "\\" + number(settings.productId);
    }
    addValue(out, product, "Loc", "\\");
    addValue(out, product, "Bmap", base + ".img");
    addValue(out, product, "Tdb", base + ".tdb");
    add(out, "pause");
    add(out, "exit 0");
    return out;
}

std::string uninstallScript(const ScriptSettings& settings) {
    std::string out;
    addHeading(out, settings, kUninstallTitle);
    addKeyLookup(out);
    add(out, "reg DELETE " + mapsetKey(settings) + " /f");
    add(out, "pause");
    add(out, "exit 0");
    return out;
}
