// The console: where every message goes, in the console's own encoding.
#pragma once

#include <string>
#include <string_view>

// Program texts are kept in UTF-8; this returns them in the console's encoding
// (unchanged on POSIX, code page 1250 on Windows).
std::string platformConsoleText(std::string_view utf8);

// Prepares the standard streams: a closed pipe on standard output must not
// kill the process between two writes of an in-place edit.
void platformInitConsole();

// Writes bytes to standard output, or to standard error (after what standard
// output holds, so that the two stay in order on a console).
void platformWrite(std::string_view bytes, bool toStderr = false);

// Waits until the user presses Enter.
void platformWaitForEnter();
