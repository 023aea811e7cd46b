// The text of MP map sources (the "Polish" format map compilers read):
// sections of key=value lines, CR LF line ends, coordinates in degrees with
// seven decimals. The mapset's preview map and the empty stand-in maps are
// written in it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The longitude and latitude limits of -l and -L, in map units.
struct MpLimits {
    std::int32_t south = -4171002;
    std::int32_t north = 4171002;
    std::int32_t west = -8318702;
    std::int32_t east = 8318702;
};

// Keep a coordinate (degrees) one grid step of `bits` inside the edges of the
// world; bits 0 uses 0.000001 for latitudes and 0 for longitudes.
void clampLatitude(double& degrees, unsigned bits);
void clampLongitude(double& degrees, unsigned bits);
void clampEast(double& degrees, unsigned bits);  // outside the range: the east edge
void clampWest(double& degrees, unsigned bits);  // outside the range: the west edge

// Text from file data as it may stand in an MP line: ends at a NUL, bytes
// below 0x20 become blanks (a name cannot start a line of its own).
std::string mpText(std::string_view text);

// Appends "line\r\n".
void appendMpLine(std::string& out, std::string_view line);

// A rectangle: one to three [POLYGON] sections (wide rectangles are cut into
// pieces), then an empty line. Bounds are signed map units; each text line is
// left out when empty. limitMode: 0 none, 1 clamp to the limits, 2 clamp and
// cut into pieces at most 178 degrees wide.
void appendPolygon(std::string& out, std::string_view line1, std::string_view line2, std::int32_t north,
                   std::int32_t east, std::int32_t south, std::int32_t west, int limitMode, unsigned bits,
                   const MpLimits& limits);

// A point: one [POI] section, then an empty line.
void appendPoint(std::string& out, std::string_view line1, std::string_view line2, std::int32_t latitude,
                 std::int32_t longitude, bool limit, unsigned bits, const MpLimits& limits);

// What an empty stand-in for a map is made from.
struct EmptyMapSource {
    std::string name8;  // the map's 8-character name, blanks included
    std::uint32_t mapId = 0;
    std::uint32_t codePage = 0;
    std::vector<std::uint8_t> levels;  // the TRE zoom level records, 4 bytes each
    // Raw 24-bit TRE bounds.
    std::uint32_t north = 0, east = 0, south = 0, west = 0;
};

// The MP source of an empty map with the same name, ID, levels and area:
// a background rectangle and one point. Empty when the levels give none
// (no records, or the last one inherited).
std::string emptyMapMp(const EmptyMapSource& source);
