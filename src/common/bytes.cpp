#include "common/bytes.h"

#include <algorithm>
#include <cstring>

std::uint32_t byteSum(const std::uint8_t* buffer, std::size_t length) {
    // Eight bytes at a time in 16-bit lanes (two bytes per lane and word, so
    // 128 words fit before a lane could overflow); every byte of a join passes here.
    constexpr std::uint64_t kLanes = 0x00FF00FF00FF00FFull;
    std::uint64_t total = 0;
    std::size_t i = 0;
    while (length - i >= 8) {
        std::uint64_t acc = 0;
        std::size_t words = std::min<std::size_t>((length - i) / 8, 128);
        for (std::size_t k = 0; k < words; ++k, i += 8) {
            std::uint64_t w;
            std::memcpy(&w, buffer + i, 8);
            acc += (w & kLanes) + ((w >> 8) & kLanes);
        }
        total += (acc & 0xFFFF) + ((acc >> 16) & 0xFFFF) + ((acc >> 32) & 0xFFFF) + (acc >> 48);
    }
    for (; i < length; ++i) total += buffer[i];
    return static_cast<std::uint32_t>(total);
}
