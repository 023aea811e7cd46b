// Planning a container filled from inputs (the join, and each container of
// the family split): what it receives, its exact catalogue, its layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "img/container/layout.h"
#include "img/model/group_copy.h"
#include "img/model/model.h"

// What the new catalogue's own records carry.
struct CatalogueSettings {
    std::string mapsetName;  // records and the header take it up to its first NUL, at most 50 bytes
    std::uint32_t familyId = 0;
    std::uint32_t productId = 0;
};

// Counts what one input gives the container: subfiles, sizes, the kinds
// present, and the catalogue estimate the block size is chosen from (the
// input's catalogue, and for maps without a record one of the description
// and twice a name of `nameLength` bytes). false (message printed) for a
// stand-alone input too large for a container (a subfile's length is 32 bits
// in the FAT).
bool countInput(const InputFile& input, const CopySettings& copy, const std::vector<std::uint8_t>* excluded,
                std::uint32_t nameLength, ContainerLayout& layout, std::uint32_t& presentKinds);

// Counts the input's subfiles into both block-size candidates.
void countBlocks(const InputFile& input, const CopySettings& copy, const std::vector<std::uint8_t>* excluded,
                 ContainerLayout& layout);

// The map records of one pass over an input, as the copy of that pass
// writes the maps: a map's linked record, else a new 'L' record for an
// ordinary or NT map with a map number; for a stand-alone TRE or GMP file with
// a map ID, its own record.
void appendPassRecords(const InputFile& input, std::uint32_t kinds, const std::vector<std::uint8_t>* excluded,
                       const CatalogueSettings& settings, std::vector<std::uint8_t>& out);

// The join's catalogue: the map records in writing order, 'V', the join's
// own 'P' and 'F' when a family or product was given, the inputs' 'F'
// records, their other records; repeated 'F' and 'P' records dropped.
std::vector<std::uint8_t> joinCatalogue(const InputList& inputs, const std::vector<GroupPass>& passes,
                                        const CatalogueSettings& settings);

// The catalogue of one family's container: its map records, 'V', 'P' and
// 'F' of the family, the input's records other than 'V', 'L', 'F' and 'P'.
std::vector<std::uint8_t> familyCatalogue(const InputFile& input, const std::vector<GroupPass>& passes,
                                          const std::vector<std::uint8_t>* excluded, const CatalogueSettings& settings);

// Writes a planned catalogue as the MAPSOURC.MPS subfile.
bool writeCatalogue(ImgWriter& w, const std::vector<std::uint8_t>& catalogue);
