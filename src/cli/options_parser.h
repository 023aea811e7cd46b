// Turns the argument vector into the settings and the list of inputs.
#pragma once

#include <string_view>

#include "common/input_file.h"

// 0 when the run may go on, 1 after a command-line error or help, 2 when an
// input record cannot be allocated.
int parseCommandLine(int argc, const char* const* argv, InputList& inputs);

// Appends one input per usable line of a list file; the number appended, or
// -1 after an error (message printed).
int readFileList(const char* path, InputList& inputs);

// True when the text holds a character that may not stand in a file name.
bool hasBadFileNameCharacter(std::string_view text);
