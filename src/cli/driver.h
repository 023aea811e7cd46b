// The run sequence: start-up, parsing, reading every input, the listing, one
// command and the exit code.
#pragma once

// The program's version, shown in the banner and written into mapset files.
extern const char* const clxVersion;

// Runs the program; returns the exit code.
int runClx(int argc, const char* const* argv);
