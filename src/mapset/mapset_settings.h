// The settings of the mapset command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "img/format/mp_text.h"
#include "split/split.h"

struct MapsetSettings {
    SplitSettings split;               // in mapset mode
    std::string baseName = "mapset";   // -n: of the mapset's own files
    std::optional<std::string> mapsetName;  // -m
    std::uint32_t familyId = 0;        // -f
    std::uint32_t productId = 0;
    std::uint32_t codePage = 0;        // -c; 0: from the maps
    bool marine = false;               // -r
    bool version3 = false;             // -3
    bool limitPreview = false;         // -l or -L
    MpLimits limits;
};
