// Reading one input completely before any command runs.
#pragma once

#include "common/input_file.h"

// Opens, recognises and reads the input; sets input.status. Prints its own
// message on failure.
bool readInput(InputFile& input);
