// The split commands (-s, -S, -g, -G, -k) and the split.lst list.
#pragma once

#include <cstdint>
#include <string>

#include "common/input_file.h"
#include "join/img_writer.h"
#include "platform/file.h"

struct SplitState {
    std::uint32_t inputIndex = 0;
    File listStream;       // split.lst, when -t asked for it and it could be made
    bool failed = false;   // an output could not be made: the run ends with exit 4
};

// The split driver; false makes the run end with exit code 4.
bool splitFiles(InputList& inputs);

// The per-input steps.
bool splitMaps(InputFile& input, SplitState& state);
bool splitSubfiles(InputFile& input, SplitState& state);
bool splitFamilies(InputFile& input, SplitState& state);

// Notes a created file in split.lst.
void listCreatedFile(SplitState& state, const std::string& name);

// Creates a split output that must not exist yet. Returns the open file, or
// none: an existing file is skipped quietly (its message printed), any other
// failure is remembered in the state.
File createSplitOutput(SplitState& state, const std::string& name, std::string& fullName);

// Closes a split output; on failure (or when the copy failed) the partial
// file is removed so that it never passes for a whole one.
bool finishSplitOutput(File& file, const std::string& fullName, bool copied);

// Block size and layout of one map's own container.
std::uint32_t mapBlockSize(const MapEntry& map, bool shortHeader, std::uint64_t extraSubfile = 0);
void mapLayout(const InputFile& input, MapEntry& map, std::uint32_t headerBase, std::uint64_t extraSubfile = 0);

// File name and number of a map's container.
std::string makeMapFileName(const InputFile& input, const MapEntry& map, std::uint32_t& number,
                            std::uint32_t* numberCounter = nullptr);
