// Subfile types and the kinds of map they make.
#pragma once

#include "img/model.h"

// The code of a three-character type (upper case only).
SubfileType subfileTypeOf(const char* type3);

MapKind kindOf(SubfileType type);

// The three characters shown for a type (" ? " for other types, " ??" for
// codes outside the table).
const char* typeName(int type);
