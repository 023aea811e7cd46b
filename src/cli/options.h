// The settings of the command line, filled by the option parser; the driver
// hands each command the part it needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct Options {
    std::optional<std::string> outputName;      // -o
    std::optional<std::string> mapsetName;      // -m
    std::optional<std::string> mapsetFileName;  // -n after -S; "mapset" by default
    std::uint8_t verbose = 0;
    std::uint8_t joinCommand = 0;
    std::uint8_t splitKind = 0;  // -s 1, -S 2, -G 3, -g 4, -k 5
    std::uint8_t info = 0;
    std::uint8_t writeCommand = 0;
    std::uint8_t priority = 255;    // 255: none given
    std::uint8_t transparency = 0;  // 1 make transparent, 255 make non-transparent
    std::uint8_t shortHeader = 0;
    std::uint8_t mapsourceSplit = 0;
    std::uint8_t limitPreview = 0;
    std::uint8_t limitMap = 0;
    std::uint8_t familyMode = 0;  // 1 family only, 3 family and product
    std::uint8_t ntFormat = 0;
    std::uint8_t tdbVersion3 = 0;
    std::uint8_t dropDem = 0;
    std::uint8_t dropRouting = 0;
    std::uint8_t mapIdMode = 0;  // 1 plain, 2 "+", 255 "-"
    std::uint8_t splitByFid = 0;
    std::uint8_t noMps = 0;
    std::uint8_t useOtherData = 0;
    std::uint8_t refreshDate = 0;
    std::uint8_t typMode = 0;  // bits: 1 family, 2 product, 4 code page
    std::uint8_t splitSubfiles = 0;
    std::uint8_t writeSplitList = 0;
    std::uint8_t labelCase = 0;  // 1 upper, 2 lower, 3 first upper
    std::uint8_t addEmptyDem = 0;
    std::uint8_t emptyMaps = 0;
    std::uint8_t marineTdb = 0;
    std::uint8_t versionMode = 0;  // 3 version, 4 MapSource flag, 7 both
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::uint8_t mapsourceFlag = 0;
    std::uint32_t blockSizeKb = 0;
    std::uint32_t familyId = 0;
    std::uint32_t productId = 0;
    std::uint32_t typFamilyId = 0;
    std::uint32_t typProductId = 0;
    std::uint32_t typCodePage = 0;
    std::uint32_t mapsetCodePage = 0;
    std::uint32_t newMapId = 0;
    std::uint32_t blankNameCounter = 0;
    std::int32_t limitSouth = 0;
    std::int32_t limitNorth = 0;
    std::int32_t limitEast = 0;
    std::int32_t limitWest = 0;
};
