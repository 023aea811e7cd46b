// Turns the argument vector into the settings and the list of inputs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"

// 0 when the run may go on, 1 after a command-line error or help, 2 when an
// input name cannot be stored.
int parseCommandLine(int argc, const char* const* argv, Options& options, std::vector<std::string>& inputs);

// Appends one input per usable line of a list file; the number appended, or
// -1 after an error (message printed).
int readFileList(const char* path, const Options& options, std::vector<std::string>& inputs);

// True when the text holds a character that may not stand in a file name.
bool hasBadFileNameCharacter(std::string_view text);
