// Writing an ordinary map as one GMP subfile (-z).
#pragma once

#include "common/input_file.h"
#include "join/img_writer.h"

// Copies the map's subfiles as one GMP subfile; false when the map cannot be
// converted.
bool convertMapToGmp(InputFile& input, const MapEntry& map, ImgWriter& w);
