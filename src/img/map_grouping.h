// From FAT entries to subfiles, and from subfiles to maps and data groups.
#pragma once

#include "common/input_file.h"

// Numbers, sorts and checks the FAT entries, builds the subfile list and reads
// each subfile's header information. false: message printed.
bool analyseFat(InputFile& input);

// Groups the subfiles into maps and data groups and derives map IDs from map
// names where the headers give none.
bool groupMaps(InputFile& input);

// The map ID a map name stands for ("I" and 7 hexadecimal digits, or 8
// decimal digits), or 0.
std::uint32_t mapIdFromName(const char* name8);
