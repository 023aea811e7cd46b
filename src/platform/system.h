// What the program asks of the operating system besides files.
#pragma once

#include <cstdint>
#include <ctime>

// Whether the user's language is Polish: on POSIX the first non-empty of
// LC_ALL, LC_MESSAGES and LANG starting with "pl" followed by its end, "_", "."
// or "@"; on Windows the user's default language identifier.
bool platformUserLanguageIsPolish();

// The POSIX rule above for one locale name.
bool platformPolishLocaleName(const char* name);

// Seconds since the epoch for the run's date: SOURCE_DATE_EPOCH when it holds
// a number, else the clock.
std::int64_t platformNow();

// UTC breakdown of a time; false when the time cannot be represented.
bool platformUtc(std::int64_t seconds, std::tm& out);

// Whether a run without arguments waits for Enter before it ends (a program
// started from a file manager on Windows would otherwise vanish unread).
bool platformPausesWithoutArguments();
