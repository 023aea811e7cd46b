// Console output conventions of the platform.
#pragma once

#include <string>
#include <string_view>

// Program texts are kept in UTF-8; this returns them in the console's encoding
// (unchanged on POSIX, code page 1250 on Windows).
std::string platformConsoleText(std::string_view utf8);

// Prepares the standard streams: a closed pipe on standard output must not
// kill the process between two writes of an in-place edit.
void platformInitConsole();
