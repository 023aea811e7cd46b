// The mapset description file (TDB) for the desktop map program: product
// and family IDs, the mapset name, the preview map and one block per map with
// its bounds and the names and sizes of its subfiles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "img/format/subfile_types.h"

struct TdbSubfile {
    SubfileType type = typeNone;
    std::string name8;  // the 8-character name the subfile is stored under
    std::uint32_t size = 0;
};

struct TdbMap {
    std::uint32_t number = 0;  // the number of the map's file
    // Signed 24-bit map units.
    std::int32_t north = 0, east = 0, south = 0, west = 0;
    std::string description;
    // The map's subfiles in any order; the block lists the first one of each
    // type it knows, in its own order.
    std::vector<TdbSubfile> subfiles;
};

struct TdbMapset {
    bool version3 = false;  // the short 3.00 form; else 4.07
    std::uint16_t productId = 0;
    std::uint16_t familyId = 0;
    std::string name;            // at most 497 bytes
    std::string identification;  // program name and version, for the copyright block
    std::uint32_t previewNumber = 0;
    std::uint8_t levelBits = 24;  // smallest bits of a first non-inherited level
    bool routing = false;
    bool marine = false;
    bool allDem = false;  // some map has elevation data and none lacks it
    std::uint16_t codePage = 0;
    std::int32_t north = 0, east = 0, south = 0, west = 0;
};

// Whether a map gets a block: it has a subfile of a type the block lists.
bool tdbListsMap(const TdbMap& map, bool version3);

// The whole file: header blocks, one block per map given (in order), and in
// the 4.07 form the closing CRC block.
std::vector<std::uint8_t> buildTdb(const TdbMapset& mapset, const std::vector<TdbMap>& maps);
