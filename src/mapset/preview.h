// The preview map of a mapset: its MP source (a rectangle per map, the
// mapset's label and background) and, when every map has elevation data, an
// empty DEM for it.
#pragma once

#include "common/file_ops.h"
#include "mapset/mapset_info.h"

// Sets the preview map number of `info`; false (message printed) when the
// source or the DEM cannot be written.
bool writePreview(const MapsetSource& source, const MapsetSettings& settings, const OutputPlace& place,
                  MapsetInfo& info);

// The number the preview map takes: the highest map ID with its low 11 bits
// set, when the IDs lie close enough together; else 99999999.
std::uint32_t previewMapNumber(const MapsetInfo& info);
