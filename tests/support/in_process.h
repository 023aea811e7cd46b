// Runs the program's driver inside the test process, so that a test file
// system installed with ScopedFileSystem (or an allocation fault) reaches it.
#pragma once

#include <string>
#include <vector>

struct InProcessRun {
    int exitCode = -1;
    std::string out;  // what it printed on standard output
};

// LANG is set to `lang` (LC_ALL and LC_MESSAGES unset) and SOURCE_DATE_EPOCH to
// a fixed time, so outputs are byte-exact.
InProcessRun runInProcess(const std::vector<std::string>& args, const std::string& lang = "C");
