// The NT-like form of an ordinary map: its TRE, RGN, LBL, NET, NOD and DEM
// subfiles as one GMP subfile. Nothing of the map data is decoded: the
// headers go one after another behind a GMP header, the data areas follow,
// and every section offset in the copied headers moves by the distance its
// data moved, so the offsets point at the same data as before.
#pragma once

#include <cstdint>
#include <vector>

#include "img/format/subfile_types.h"

// A member subfile of the map, held whole.
struct GmpMember {
    SubfileType type = typeNone;
    std::vector<std::uint8_t> bytes;
};

// The GMP header before the parts.
inline constexpr std::uint32_t kGmpHeaderSize = 63;

// The types that become parts of a GMP: DEM, LBL, NET, NOD, RGN, TRE.
inline bool isGmpPart(SubfileType t) { return t >= typeDem && t <= typeTre; }

// Builds the GMP of a map whose members (at most one of each of the six
// types, a TRE among them) are given; treDataStart is where the TRE
// information says its first data section begins. false when the map cannot
// be converted: a header the format does not know or whose areas do not lie
// inside its subfile prints "Unknown %s header format." naming the part, a
// GMP beyond 32 bits "Total file length too big."; a DEM whose zoom-level
// records do not fit fails without a message of its own.
bool buildGmp(const std::vector<GmpMember>& members, std::uint32_t treDataStart, std::vector<std::uint8_t>& gmp);
