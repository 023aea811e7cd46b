// Label case conversion (-L, -l, -1): the 8-bit labels of every map of a
// container rewritten in place, byte for byte, in the map's code page.
#pragma once

#include <cstddef>
#include <cstdint>

#include "edit/edit.h"

// Converts a buffer of NUL-separated labels in place with the code page
// selected now: mode 1 capitals, 2 small letters, 3 a capital at the start
// of every word. False for another mode.
bool convertLabels(int mode, std::uint8_t* buffer, std::size_t length);

// The whole edit of one file; true when it reached its end.
bool changeLabelCase(InputFile& input, const EditSettings& settings);
