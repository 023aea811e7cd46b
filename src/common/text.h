// Small text helpers shared by the readers and writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/message.h"

// A fixed-width text field of file data (a map or subfile name) with room
// for a terminating NUL. Messages print it as file text, up to its first NUL.
template <std::size_t N>
struct FixedText {
    char c[N + 1] = {};

    char* data() { return c; }
    const char* data() const { return c; }
    // All N bytes, NULs included.
    std::string_view field() const { return {c, N}; }
    FileText shown() const {
        std::size_t n = 0;
        while (n < N && c[n] != '\0') ++n;
        return {std::string_view(c, n)};
    }
};

// Bytes from start up to the first zero byte before end; -1 when there is
// none in that range or start is not below end.
std::int64_t terminatedLength(const std::uint8_t* buffer, std::size_t start, std::size_t end);

// As terminatedLength, but a field without a zero byte is end - start long.
std::int64_t boundedLength(const std::uint8_t* buffer, std::size_t start, std::size_t end);

// The file name part of a path (platform separators).
std::string_view baseName(const char* path);
std::string_view baseName(std::string_view path);
