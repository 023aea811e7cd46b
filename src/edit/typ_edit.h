// The TYP identifiers (-y) and the mapset name in the catalogue (-m).
#pragma once

#include "edit/edit.h"

// The family, product and code page of a stand-alone TYP file or of the TYP
// subfile of a container; false on an I/O failure.
bool correctTyp(InputFile& input, const EditSettings& settings);

// The name in the catalogue's 'V' record, the catalogue growing or shrinking
// within its last block; the in-memory catalogue (records, length, spare
// bytes, subfile size) follows, so later edits of the run see it as written.
bool writeMpsMapsetName(InputFile& input, const EditSettings& settings);
