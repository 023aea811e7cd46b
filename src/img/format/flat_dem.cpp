#include "img/format/flat_dem.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"

namespace {

// A span in 32-bit units, computed wide: the whole world (2^24 map units)
// would wrap to a span of 0, so it keeps the largest span instead.
std::uint32_t extent(std::int32_t high, std::int32_t low) {
    const std::int64_t span = (std::int64_t{high} - low) * 256;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(span, 0, 0xFFFFFFFF));
}

}  // namespace

std::size_t buildFlatDem(std::vector<std::uint8_t>& out, std::int32_t north, std::int32_t east, std::int32_t south,
                         std::int32_t west, const std::uint8_t date[7], std::uint32_t levels) {
    const std::size_t size = 64 * std::size_t{levels} + 37;
    out.assign(size, 0);
    std::uint8_t* d = out.data();
    putU16(d, 37);
    std::memcpy(d + 2, "GARMIN DEM", 10);
    d[12] = 1;
    std::memcpy(d + 14, date, 7);
    putU32(d + 21, 1);
    putU16(d + 25, levels);
    putU16(d + 31, 60);
    putU32(d + 33, 4 * levels + 37);
    for (std::uint32_t i = 0; i < levels; ++i) putU32(d + 37 + 4 * i, 0x02000000);
    for (std::uint32_t i = 0; i < levels; ++i) {
        std::uint8_t* r = d + 4 * levels + 37 + 60 * i;
        r[1] = static_cast<std::uint8_t>(i);
        putU32(r + 2, 64);
        putU32(r + 6, 64);
        putU32(r + 10, 2);
        putU32(r + 14, 2);
        putU16(r + 28, 16);
        putU16(r + 30, 4);
        putU32(r + 32, 4 * i + 37);
        putU32(r + 36, 4 * i + 41);
        putU32(r + 40, static_cast<std::uint32_t>(west) * 256);
        putU32(r + 44, static_cast<std::uint32_t>(north) * 256);
        putU32(r + 48, extent(north, south));
        putU32(r + 52, extent(east, west));
    }
    return size;
}
