// Writing a planned join: the groups in their fixed order, the catalogue and
// the header.
#pragma once

#include "common/input_file.h"
#include "join/img_writer.h"
#include "join/join_plan.h"

// Creates the output and writes everything the layout planned.
bool writeJoin(InputList& inputs, const JoinLayout& layout);

// Everything of one input whose kind bit is in the mask.
bool writeGroup(InputFile& input, std::uint32_t kindMask, ImgWriter& w);

// Copies the member subfiles of one map whose types are in the mask.
bool copyMap(InputFile& input, const MapEntry& map, ImgWriter& w, std::uint32_t typeMask);

// The "other" group: present kinds not written yet, input by input.
bool writeOtherGroup(InputList& inputs, std::uint32_t kinds, ImgWriter& w);

// The 11-character FAT name of a stand-alone input.
std::string makeFatName(const InputFile& input, const char* extension);

// Refuses an output that is one of the inputs (it would destroy it).
bool outputIsInput(const std::string& output, const InputList& inputs);
