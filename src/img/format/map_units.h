// Map coordinates: signed 24-bit fractions of the full circle, and the 32-bit
// fractions of the elevation data.
#pragma once

#include <cstdint>

// The raw value 0x800000 is ambiguous (+180 or -180 degrees); which one it is
// depends on the side of the bounding box it stands for.

// North and east bounds: 0x800000 counts as +180.
inline double northEastDegrees(std::uint32_t raw24) {
    std::int64_t value = raw24 & 0xFFFFFF;
    if (value > 0x800000) value -= 0x1000000;
    return static_cast<double>(value) * 360.0 / 16777216.0;
}

// South and west bounds: 0x800000 counts as -180.
inline double southWestDegrees(std::uint32_t raw24) {
    std::int64_t value = raw24 & 0xFFFFFF;
    if (value >= 0x800000) value -= 0x1000000;
    return static_cast<double>(value) * 360.0 / 16777216.0;
}

inline double demDegrees(std::int32_t value) { return static_cast<double>(value) * 360.0 / 4294967296.0; }

// Signed map units of a raw 24-bit bound, by the same rules.
inline std::int32_t northEastUnits(std::uint32_t raw24) {
    std::int32_t value = static_cast<std::int32_t>(raw24 & 0xFFFFFF);
    return value > 0x800000 ? value - 0x1000000 : value;
}

inline std::int32_t southWestUnits(std::uint32_t raw24) {
    std::int32_t value = static_cast<std::int32_t>(raw24 & 0xFFFFFF);
    return value >= 0x800000 ? value - 0x1000000 : value;
}

inline double unitsToDegrees(std::int32_t units) { return static_cast<double>(units) * 360.0 / 16777216.0; }

// A bounding box in signed map units.
struct MapBounds {
    std::int32_t north = 0, east = 0, south = 0, west = 0;
};
