// The install and uninstall scripts of a mapset: Windows command scripts that
// register the mapset with the desktop map program (and compile its preview
// map first), written next to the mapset files.
#pragma once

#include <cstdint>
#include <string>

struct ScriptSettings {
    std::string baseName;    // of the mapset files: .mp, .img, .tdb, .mdx
    std::string mapsetName;  // shown in the scripts
    std::uint32_t familyId = 0;
    std::uint32_t productId = 0;
    bool ntFamilies = false;  // some map is an NT map
    std::string typFile;      // empty: none to register
    std::string trfFile;      // empty: none to register
};

// The two scripts, CR LF line ends, in the message language.
std::string installScript(const ScriptSettings& settings);
std::string uninstallScript(const ScriptSettings& settings);

// Text from file data as it may stand in a script: ends at a NUL, bytes below
// 0x20 become blanks, '"' becomes "'" and "%" becomes "%%".
std::string scriptText(const std::string& text);
