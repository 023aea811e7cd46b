// The in-place edits (-w): header fields, mapset name, priority and
// transparency, map IDs, label case and TYP identifiers, written into the
// input files themselves. Nothing is appended and no file is rewritten whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "img/model/model.h"

struct EditSettings {
    bool verbose = false;
    // -f: only files (and maps) of this family, and of this product when one
    // was given; -1 where not given.
    std::int64_t familyId = -1;
    std::int64_t productId = -1;
    bool refreshDate = false;             // -h
    std::uint8_t versionMode = 0;         // -c: 1 major, 2 minor, 4 MapSource flag (bits)
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::uint8_t mapsourceFlag = 0;
    std::optional<std::string> mapsetName;  // -m
    std::uint8_t priority = 255;           // -p; 255: none
    std::uint8_t transparency = 0;         // -t 1, -n 255
    std::uint8_t mapIdMode = 0;            // -e: 1 absolute, 2 add, 255 subtract
    std::uint32_t newMapId = 0;
    std::uint8_t labelCase = 0;            // -L 1, -l 2, -1 3
    std::uint8_t typMode = 0;              // -y: 1 family, 2 product, 4 code page (bits)
    std::uint32_t typFamilyId = 0;
    std::uint32_t typProductId = 0;
    std::uint32_t typCodePage = 0;
};

// Runs the edits on every input in order; false (the run ends with exit code
// 4) when an edit of some file failed. Every file is tried.
bool writeChanges(InputList& inputs, const EditSettings& settings);
