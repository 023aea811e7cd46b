// Turning names found in file data into names of files that stay where they
// are meant to: no separators, no control bytes, nothing that climbs out of
// the output directory.
#pragma once

#include <string>
#include <string_view>

// Bytes below 0x20, 0x7F and / \ : * ? " < > | become "_"; an empty name or
// one of dots only becomes "_" (platform rules added on Windows).
std::string safeFileName(std::string_view name);

// A fixed-width name field without its trailing bytes of value 32 or less;
// the first character always stays.
std::string trimmedField(std::string_view field);
