// Small text helpers shared by the readers and writers.
#pragma once

#include <cstdint>
#include <string_view>

// Bytes from start up to the first zero byte before end; -1 when there is
// none in that range or start is not below end.
std::int64_t terminatedLength(const std::uint8_t* buffer, std::size_t start, std::size_t end);

// As terminatedLength, but a field without a zero byte is end - start long.
std::int64_t boundedLength(const std::uint8_t* buffer, std::size_t start, std::size_t end);

// The file name part of a path (platform separators).
std::string_view baseName(const char* path);
std::string_view baseName(std::string_view path);

// Three-character name of a map kind.
const char* mapKindName(int kind);
