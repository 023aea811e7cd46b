#include "common/text.h"

#include "platform/path.h"

std::int64_t terminatedLength(const std::uint8_t* buffer, std::size_t start, std::size_t end) {
    if (start >= end) return -1;
    for (std::size_t i = start; i < end; ++i)
        if (buffer[i] == 0) return static_cast<std::int64_t>(i - start);
    return -1;
}

std::int64_t boundedLength(const std::uint8_t* buffer, std::size_t start, std::size_t end) {
    if (start >= end) return 0;
    std::int64_t n = terminatedLength(buffer, start, end);
    return n < 0 ? static_cast<std::int64_t>(end - start) : n;
}

std::string_view baseName(const char* path) { return path ? platformBaseName(path) : std::string_view(); }
std::string_view baseName(std::string_view path) { return platformBaseName(path); }
