// The MAPSOURC.MPS catalogue written into every joined container.
#pragma once

#include <cstdint>

#include "common/input_file.h"
#include "join/img_writer.h"

// The map's record after its subfiles were copied: its linked record, or a
// new 'L' record for an ordinary or NT map with a map number.
void addMapRecord(const InputFile& input, const MapEntry& map, ImgWriter& w);

// The record of a stand-alone TRE or GMP file with a map ID.
void addStandaloneMapRecord(const InputFile& input, ImgWriter& w);

// Sets the header description and, without -x, writes the catalogue.
bool writeCatalogue(InputList& inputs, ImgWriter& w);

// The closing steps of one family container: the other group, its
// catalogue and the header.
bool writeFamilyCatalogue(InputFile& input, std::uint32_t kinds, ImgWriter& w, std::uint32_t familyId,
                          std::uint32_t productId);

// Removes repeated 'F' and 'P' records (same family and product), keeping the
// first of each.
void dropDuplicateRecords(std::vector<std::uint8_t>& buffer);

// The map number a map's record carries: the TRE map ID, else the number in
// its name; 0 when there is none.
std::uint32_t mapNumber(const MapEntry& map);
