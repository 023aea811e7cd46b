// The run sequence: start-up, parsing, reading every input, the listing, one
// command and the exit code.
#pragma once

// Runs the program; returns the exit code.
int runClx(int argc, const char* const* argv);
