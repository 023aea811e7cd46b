// Character classification and case mapping of the Windows code pages that
// maps use (874, 1250-1258), from built-in tables so that results never depend
// on the locales installed on the machine.
#pragma once

#include <cstdint>
#include <optional>

#include "common/codepage_tables.h"

// The built-in table of a code page, or nullptr.
const CodePageTable* findCodePageTable(std::uint32_t codePage);

// Selects the tables used by the classification below; false (and nothing
// changed) when no table exists for the code page.
bool selectCodePage(std::uint32_t codePage);

// The code page selected now; 0 before any selection (ASCII rules only).
std::uint32_t currentCodePage();

// Remember and bring back the selection around a temporary change.
std::optional<std::uint32_t> saveCharLocale();
void restoreCharLocale(std::optional<std::uint32_t> saved);

// Classification and case mapping by the selected code page.
bool isLetterByte(std::uint8_t c);
bool isDigitByte(std::uint8_t c);
bool isWordByte(std::uint8_t c);  // letter, digit or combining mark
std::uint8_t upperByte(std::uint8_t c);
std::uint8_t lowerByte(std::uint8_t c);
