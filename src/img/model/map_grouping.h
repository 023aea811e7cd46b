// From FAT entries to subfiles, and from subfiles to maps and data groups.
#pragma once

#include "img/model/model.h"

// Builds the subfile list from the sorted FAT, checks each subfile's block
// chain and reads its header information. false: message printed.
bool analyseFat(InputFile& input);

// Reads what is kept of one subfile's headers; false after a read failure or
// a wrong TRE or LBL signature (message printed).
bool readSubfileHeaders(InputFile& input, Subfile& subfile);

// Groups the subfiles into maps and data groups and derives map IDs from map
// names where the headers give none.
bool groupMaps(InputFile& input);
