// Writing a planned join: the groups in their fixed order, the catalogue and
// the header.
#pragma once

#include <functional>

#include "common/input_file.h"
#include "join/img_writer.h"
#include "join/join_plan.h"

// Creates the output and writes everything the layout planned.
bool writeJoin(InputList& inputs, const JoinLayout& layout);

// Everything of one input whose kind bit is in the mask.
bool writeGroup(InputFile& input, std::uint32_t kindMask, ImgWriter& w);

// Copies the member subfiles of one map whose types are in the mask.
bool copyMap(InputFile& input, const MapEntry& map, ImgWriter& w, std::uint32_t typeMask);

// The seven groups in their fixed order, each announced; writeKind writes
// one kind from whatever inputs the caller has.
bool writeGroupsInOrder(ImgWriter& w, const std::function<bool(std::uint32_t kindMask)>& writeKind);

// The "other" group: present kinds not written yet, announced, then written
// by writeKind.
bool writeOtherKinds(ImgWriter& w, std::uint32_t kinds, const std::function<bool(std::uint32_t kindMask)>& writeKind);

// "Writing: header", before a container's header is written.
void announceHeader();

// The 11-character FAT name of a stand-alone input.
std::string makeFatName(const InputFile& input, const char* extension);

// Refuses an output that is one of the inputs (it would destroy it).
bool outputIsInput(const std::string& output, const InputList& inputs);
