// The split commands (-s, -g, -G; -S and -k to come) and the split.lst list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "img/container/layout.h"
#include "img/model/model.h"

struct SplitSettings {
    char command = 's';          // 's', 'S', 'G', 'g' or 'k'
    std::string outputDir;       // -o; empty: the current directory
    bool writeSplitList = false;  // -t
    bool shortHeader = false;     // -h
    bool verbose = false;
    std::uint32_t copyChunk = 0;  // largest piece copied at once; 0: each step's own
};

// What the split made of one map.
struct MapSplit {
    MapLayout layout;
    std::string fileName;    // of the map's container or data file
    std::uint32_t number = 0;
    std::string headerText;  // the description written into the map's container
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

// The per-input steps.
bool splitMaps(InputFile& input, SplitState& state, InputSplit& result);
bool splitSubfiles(InputFile& input, SplitState& state);
bool splitFamilies(InputFile& input, SplitState& state);

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
