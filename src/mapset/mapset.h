// The mapset command (-S): every map split into a file of its own, then the
// files that make the maps a mapset for the desktop map program: the preview
// map source, the TDB, the MDX and the install scripts.
#pragma once

#include "img/model/model.h"
#include "mapset/mapset_settings.h"

// False makes the run end with exit code 4.
bool makeMapset(InputList& inputs, const MapsetSettings& settings);
