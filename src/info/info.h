// The -i listing of one input.
#pragma once

#include "img/model/model.h"

// Prints what was read of the input; it reads no file.
void printInfo(const InputFile& input, bool verbose);
