// Subfile types: the codes of the three-letter type of a subfile's name.
#pragma once

#include <cstdint>

enum SubfileType : std::uint8_t {
    typeNone = 0,
    typeTyp = 2,
    typeTrf = 3,
    typeMmr = 4,
    typeMd2 = 5,
    typeMdr = 6,
    typeSrt = 7,
    typeDem = 8,
    typeLbl = 9,
    typeNet = 10,
    typeNod = 11,
    typeRgn = 12,
    typeTre = 13,
    typeGmp = 14,
    typeMps = 15,
    typeOther = 16,
};

// The code of a three-character type (upper case only).
SubfileType subfileTypeOf(const char* type3);

// The three characters shown for a type (" ? " for other types, " ??" for
// codes outside the table).
const char* typeName(int type);

// Types whose subfiles start with the common header ("GARMIN xxx" at 2).
bool hasCommonHeader(SubfileType type);
