// The MAPSOURC.MPS catalogue of a container.
#pragma once

#include "common/input_file.h"

// Finds the catalogue among the maps and loads it with its spare bytes.
bool readMpsData(InputFile& input);

// Splits the catalogue into records and links the 'L' records to maps.
bool parseMps(InputFile& input);

// The map ID of an 'L' record (the u32 eight bytes before its end); 0 for a
// record too short to hold one.
std::uint32_t mpsMapId(const InputFile& input, const MpsRecord& record);
