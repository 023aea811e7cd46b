// Which maps an edit with -f touches: a map's family and product come from
// its catalogue record.
#pragma once

#include <cstdint>

#include "edit/edit.h"

// The family and product of a map's linked 'L' record (0 and 0 when it has
// none of at least 7 bytes).
void mapFamily(const InputFile& input, const MapEntry& map, std::uint32_t& familyId, std::uint32_t& productId);

// Whether an edit touches the map under -f: a zero filter value does not
// filter.
bool mapPassesFilter(const InputFile& input, const MapEntry& map, const EditSettings& settings);
