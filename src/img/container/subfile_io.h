// Reaching the bytes of a subfile: through the block lists of its FAT
// entries in a container, or directly in a file that holds it alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "img/container/container_file.h"

// The file position of byte `offset` of a subfile, through its FAT entries;
// false when the entries do not reach that far.
bool subfilePosition(const ImgHeader& img, std::uint32_t firstFat, std::uint64_t offset, std::uint64_t& position);

// One contiguous piece of a subfile range in the file.
struct FilePiece {
    std::uint64_t position;
    std::size_t length;
};

// Maps a byte range of a subfile to file positions, consecutive blocks joined
// into one piece. false when the range is not within the subfile's length or
// the FAT does not cover it.
bool mapSubfileRange(const ImgHeader& img, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                     std::vector<FilePiece>& pieces);

// Reads `length` bytes from byte `offset` of the subfile whose part-0 entry
// is fatEntries[firstFat], unscrambled ("Read structure error" when the range
// is not within the subfile).
bool readSubfileBytes(ContainerFile& file, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                      std::uint8_t* buffer);

// Where one subfile's bytes are: inside a container, or the whole file.
struct SubfileSource {
    ContainerFile* file = nullptr;
    std::uint32_t firstFat = 0;  // within a container
    std::uint64_t size = 0;
};

// Reads bytes of a subfile whichever way its file holds it.
bool readSource(const SubfileSource& source, std::uint64_t offset, std::size_t length, std::uint8_t* buffer);
