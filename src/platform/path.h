// File-name conventions of the platform.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// The part of a path after its last directory separator ("/" on POSIX;
// "/", "\\" and ":" on Windows); the whole path when it has none.
std::string_view platformBaseName(std::string_view path);

// Whether a directory text already ends in a separator, so that no further
// one is needed before a file name.
bool platformEndsInSeparator(std::string_view dir);

// Platform rules on top of the portable file-name cleaning: on Windows a
// reserved device name gets a "_" prefix and a trailing dot or blank becomes "_".
void platformFixFileName(std::string& name);

// The separator placed between a directory and a file name.
inline constexpr const char* platformSeparator =
#ifdef _WIN32
    "\\";
#else
    "/";
#endif
