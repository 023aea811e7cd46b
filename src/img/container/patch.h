// In-place changes to a file opened for update. Nothing is ever written into
// the header-and-FAT area through a subfile, nor beyond the file's end, so a
// patch never grows a file. In a container the checksum byte (0x0F) moves
// opposite to every change, so a file whose bytes summed to 0 modulo 256
// still does; the in-memory header follows every change written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "img/container/container_file.h"

// Bytes of a subfile in a container, from byte `offset` of the subfile.
// Every piece is mapped and checked before a byte is written ("Write
// structure error" and nothing written otherwise).
bool patchSubfile(ContainerFile& file, std::uint32_t firstFat, std::uint64_t offset, const std::uint8_t* bytes,
                  std::size_t length);

// Whether patchSubfile would accept the range: for an edit that checks all
// its writes before it makes the first one.
bool subfileRangePatchable(const ContainerFile& file, std::uint32_t firstFat, std::uint64_t offset,
                           std::size_t length);

// Bytes of the header sector (0x00-0x1FF), other than the checksum byte.
bool patchHeader(ContainerFile& file, std::size_t offset, const std::uint8_t* bytes, std::size_t length);

// The 8-character name in every FAT entry of the subfile whose part-0 entry
// is fatEntries[firstFat].
bool patchFatName(ContainerFile& file, std::uint32_t firstFat, const char* name8);

// The length in a subfile's part-0 FAT entry, for a subfile that grows or
// shrinks inside the blocks its chain already holds (refused otherwise).
bool patchFatLength(ContainerFile& file, std::uint32_t firstFat, std::uint32_t length);

// Bytes of a file that holds one subfile (it has no checksum).
bool patchStandalone(ContainerFile& file, std::uint64_t offset, const std::uint8_t* bytes, std::size_t length);
