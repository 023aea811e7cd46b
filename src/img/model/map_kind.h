// The kinds of map and data group that subfiles make.
#pragma once

#include <cstdint>

#include "img/format/subfile_types.h"

enum MapKind : std::uint8_t {
    noKind = 0,
    trfData = 1,
    typData = 2,
    mmrData = 3,
    md2Data = 4,
    sortTable = 6,
    searchIndex = 7,
    mpcMap = 8,
    mpsCatalogue = 9,
    ntMap = 10,
    otherData = 11,
};

MapKind kindOf(SubfileType type);

// Three-character name of a map kind.
const char* mapKindName(int kind);
