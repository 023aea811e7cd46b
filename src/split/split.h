// The split commands (-s, -g, -G, -k, and the split of -S) and the split.lst
// list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "img/container/layout.h"
#include "img/format/mp_text.h"
#include "img/model/model.h"

struct SplitSettings {
    char command = 's';          // 's', 'S', 'G', 'g' or 'k'
    std::string outputDir;       // -o; empty: the current directory
    bool writeSplitList = false;  // -t
    bool shortHeader = false;     // -h
    bool verbose = false;
    std::uint32_t copyChunk = 0;  // largest piece copied at once; 0: each step's own
    // The split of a mapset (-S): maps renamed after their numbers, only map
    // subfiles written, maps outside the area left out.
    bool mapsetMode = false;
    bool addEmptyDem = false;        // -q: maps without elevation data get a flat DEM
    std::optional<MpLimits> area;    // -L: maps must lie wholly inside
};

// What the split made of one map.
struct MapSplit {
    MapLayout layout;
    std::string fileName;    // of the map's data file, or the first 8 characters of its container's
    std::uint32_t number = 0;
    std::string headerText;  // the description written into the map's container
    FixedText<8> storedName;  // the name its subfiles carry in the output
    bool outOfArea = false;  // mapset mode: outside the mapset's area, not written
    std::uint32_t flatDemSize = 0;  // mapset mode: the flat DEM added to it
};

// What the split made of one input.
struct InputSplit {
    std::vector<MapSplit> maps;  // by index in the input's maps
    std::string fileBaseName;    // a stand-alone input's name in the output
};

struct SplitState {
    const SplitSettings& settings;
    OutputPlace place;
    PendingOutput list;  // split.lst, when -t asked for it and it could be made
    std::uint64_t listPosition = 0;
    bool failed = false;  // an output could not be made: the run ends with exit 4
    std::vector<InputSplit> results;  // by input
};

// The split driver; false makes the run end with exit code 4.
bool splitFiles(InputList& inputs, const SplitSettings& settings);

// The split driver for a caller that goes on with its results: -1 when a step
// failed (the command stops), 1 when an output could not be made but every
// input was split (the run is to end with exit code 4), else 0.
int splitInputs(InputList& inputs, const SplitSettings& settings, std::vector<InputSplit>& results);

// The per-input steps.
bool splitMaps(InputFile& input, SplitState& state, InputSplit& result);
bool splitSubfiles(InputFile& input, SplitState& state);
bool splitFamilies(InputFile& input, SplitState& state);
bool writeEmptyMaps(InputFile& input, SplitState& state);

// Notes a finished output in split.lst. A list that cannot be written is
// removed (it would be incomplete) and the run fails.
void listCreatedFile(SplitState& state, const std::string& name);

// Creates a split output that must not exist yet. An existing file is
// skipped quietly (its message printed); any other failure is remembered in
// the state. Check the result with its bool.
PendingOutput createSplitOutput(SplitState& state, const std::string& name);

// File name and number of a map's container.
std::string makeMapFileName(const InputFile& input, const MapEntry& map, std::uint32_t& number,
                            std::uint32_t* numberCounter = nullptr);

// The first number mapset mode gives to maps that have none, from the
// input's container header.
std::uint32_t firstFreeNumber(const InputFile& input);

// Mapset mode: whether a map lies outside the mapset's area (without an
// area, beyond the poles).
bool outOfArea(const InputFile& input, const MapEntry& map, const std::optional<MpLimits>& area);
