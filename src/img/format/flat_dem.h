// The elevation subfile of a map that has no elevation data: every zoom level
// flat, at height 0, over the map's bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 64 × levels + 37 bytes; `date` is the 7-byte common-header date.
std::size_t buildFlatDem(std::vector<std::uint8_t>& out, std::int32_t north, std::int32_t east, std::int32_t south,
                         std::int32_t west, const std::uint8_t date[7], std::uint32_t levels);
