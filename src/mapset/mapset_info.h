// What the mapset's files say of the mapset as a whole, gathered from all
// maps of all inputs and their catalogues.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "img/format/map_units.h"
#include "mapset/mapset_settings.h"

struct MapsetInfo {
    std::uint32_t familyId = 0;
    std::uint32_t productId = 0;
    std::string name;
    std::uint32_t previewNumber = 0;  // set by the preview writer
    std::uint32_t mapCount = 0;
    std::uint32_t numberedMaps = 0;
    std::uint32_t lowestMapId = 99999999;
    std::uint32_t highestMapId = 0;
    std::uint8_t topLevelBits = 24;   // clamped to 8-18 once gathered
    std::uint8_t realLevelBits = 24;  // first non-inherited level
    bool routing = false;
    bool newFormat = false;
    bool someWithDem = false;
    bool someWithoutDem = false;
    bool ntMap = false;
    bool marine = false;
    MapBounds bounds{-0x800000, -0x800000, 0x800000, 0x800000};
    std::uint32_t codePage = 0;
};

// The split inputs, with what the split made of each (same order).
struct MapsetSource {
    const InputList& inputs;
    const std::vector<InputSplit>& splits;
};

// Whether a map is in the mapset's files: inside the area, with a TRE.
bool inMapset(const InputFile& input, const InputSplit& split, std::size_t map);

// Gathers the mapset's description; false (message printed) when its IDs or
// its name cannot be settled.
bool gatherMapsetInfo(const MapsetSource& source, const MapsetSettings& settings, MapsetInfo& info);
