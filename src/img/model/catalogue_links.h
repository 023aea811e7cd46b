// The catalogue of a container, loaded and linked to its maps.
#pragma once

#include "img/model/model.h"

// Finds the catalogue among the maps and loads it with its spare bytes.
bool readMpsData(InputFile& input);

// Splits the catalogue into records and links the 'L' records to maps;
// verbose notes a catalogue without records or with a ragged end.
bool parseMps(InputFile& input, bool verbose);
