// The -j command: every input into one new container with a new catalogue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "img/model/group_copy.h"
#include "img/model/model.h"

struct JoinSettings {
    std::string outputName;                 // -o
    std::optional<std::string> mapsetName;  // -m
    bool verbose = false;
    bool shortHeader = false;  // -h
    bool ntFormat = false;     // -z
    bool dropDemRouting = false;  // -q
    bool noCatalogue = false;  // -x
    std::uint32_t blockSizeKb = 0;  // -b
    std::uint32_t familyId = 0;     // -f
    std::uint32_t productId = 0;
    std::uint8_t versionFlags = 0;  // -c: bit 0 major, bit 1 minor, bit 2 MapSource flag
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::uint8_t mapsourceFlag = 0;
    std::uint32_t copyChunk = kDefaultCopyChunk;
};

// Plans and writes the join; false makes the run end with exit code 4.
bool joinFiles(InputList& inputs, const JoinSettings& settings);

// "repeated map ID number" for every ID that two maps share.
void warnRepeatedMapIds(const InputList& inputs);
