// Map ID renumbering (-e): a map's ID in the FAT names of its subfiles, its
// TRE header, the catalogue and the companion subfiles (MDR, TRF, MD2) that
// refer to it, changed together.
#pragma once

#include <cstdint>

#include "edit/edit.h"

// Renumbers the maps of one container; `next` is the next ID of absolute
// numbering and continues from file to file. Everything is read and checked
// before the first byte is written.
bool renumberMaps(InputFile& input, const EditSettings& settings, std::uint32_t& next);
