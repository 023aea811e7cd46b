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

const char* mapKindName(int kind) {
    switch (kind) {
    case 0: return " - ";
    case 1: return "TRF";
    case 2: return "TYP";
    case 3: return "MMR";
    case 4: return "MD2";
    case 6: return "SRT";
    case 7: return "IDX";
    case 8: return "MPC";
    case 9: return "MPS";
    case 10: return "NT ";
    case 11: return " ? ";
    default: return " ??";
    }
}
