// Reading one input completely before any command runs.
#pragma once

#include "img/model/model.h"

struct ReadSettings {
    bool verbose = false;
    bool useOtherData = false;  // -a: take a file of unknown kind as other data
};

// Opens, recognises and reads the input; sets input.status. Prints its own
// message on failure.
bool readInput(InputFile& input, const ReadSettings& settings);
