// Runs the program's driver inside the test process, so that a test file
// system installed with ScopedFileSystem (or an allocation fault) reaches it.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct InProcessRun {
    int exitCode = -1;
    std::string out;  // what it printed on standard output
};

// LANG is set to `lang` (LC_ALL and LC_MESSAGES unset) and SOURCE_DATE_EPOCH to
// a fixed time, so outputs are byte-exact. `around` is called with true right
// before the driver starts and with false right after it ends.
InProcessRun runInProcess(const std::vector<std::string>& args, const std::string& lang = "C",
                          const std::function<void(bool)>& around = {});

class TestFileSystem;

// Runs the driver on `fs` with operation n failing (every later one too with
// `andAfter`); fails the calling test when the fault never fired, and clears
// it afterwards so the files can be inspected.
InProcessRun runWithFileFault(TestFileSystem& fs, const std::vector<std::string>& args, std::size_t n, bool andAfter);
