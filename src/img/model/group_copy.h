// Copying an input's maps and data groups into a container being written:
// the groups in their fixed order, each map's subfiles block-aligned. The join
// and the family split both write through this.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "img/container/img_writer.h"
#include "img/model/model.h"

// The largest piece a copy reads and writes at once.
inline constexpr std::uint32_t kDefaultCopyChunk = 0x2000000;

struct CopySettings {
    bool verbose = false;
    bool ntFormat = false;           // -z: ordinary maps are to become GMP subfiles
    bool warnNtKeeps = false;        // -q: NT maps keep their DEM and NOD, say so
    std::uint32_t excludeTypes = 0;  // subfile types (bits) left out of ordinary maps
    bool renameMaps = false;         // every subfile takes newMapName
    FixedText<8> newMapName;
};

// One container being filled.
struct GroupCopy {
    ImgWriter& writer;
    CopySettings settings;
    // Maps (by index in the input's maps) left out; for a copy from a single
    // input. Null: none.
    const std::vector<std::uint8_t>* excluded = nullptr;
    std::uint32_t writtenKinds = (1u << noKind) | (1u << mpsCatalogue);
};

// One pass of the writing order: the kinds it copies and its announcement.
struct GroupPass {
    std::uint32_t kinds = 0;
    const Msg* label = nullptr;
};

// The passes in writing order: indexes, MD2, TRF, TYP, MMR, NT maps,
// ordinary maps (unless only the "other" pass is wanted), then "other" for
// the present kinds not written yet, when there are any.
std::vector<GroupPass> groupPasses(bool fixedGroups, std::uint32_t presentKinds);

// The maps (indices) of an input that a pass over `kinds` copies, in order;
// a stand-alone input that the pass copies gives one entry, -1.
std::vector<int> mapsInPass(const InputFile& input, std::uint32_t kinds, const std::vector<std::uint8_t>* excluded);

// Announces and runs every pass; writeKind copies one pass from whatever
// inputs the caller has.
bool writePasses(GroupCopy& copy, const std::vector<GroupPass>& passes,
                 const std::function<bool(std::uint32_t kinds)>& writeKind);

// Everything one input gives to a pass.
bool writeGroup(InputFile& input, std::uint32_t kinds, GroupCopy& copy);

// Copies the member subfiles of one map whose types are in the mask; the
// input must be open.
bool copyMap(InputFile& input, const MapEntry& map, GroupCopy& copy, std::uint32_t typeMask);

// "Writing: header", before a container's header is written.
void announceHeader();

// "Writing: data MAPSOURC.MPS", before the catalogue is written.
void announceCatalogue();

// The 11-character FAT name of a stand-alone input.
std::string makeFatName(const InputFile& input, const char* extension);
