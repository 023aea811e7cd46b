// The edits of the container header (date, version, MapSource flag, mapset
// name) and of the maps' display priority and transparency.
#pragma once

#include "edit/edit.h"

// -h and -c; nothing is written (and nothing said) when nothing changes.
bool editHeader(InputFile& input, const EditSettings& settings);

// -m: the name in the header's description fields.
bool writeHeaderMapsetName(InputFile& input, const EditSettings& settings);

// -p, -t and -n on every (matching) map of a container, or on a stand-alone
// TRE or GMP file.
bool setPriority(InputFile& input, const EditSettings& settings);
bool setPriorityStandalone(InputFile& input, const EditSettings& settings);
