// The geometry of a container about to be written: its block size, the size
// of its header-and-FAT area and of the whole file, chosen before a byte is
// written. Two choices exist: one for a container of many inputs (the join
// and the family split) and one for the container of a single map (the map
// split). They differ on purpose and share only the header-area formula and
// the limits.
#pragma once

#include <cstdint>
#include <vector>

// Above this many blocks a container is refused.
inline constexpr std::uint64_t kMaxLayoutBlocks = 65529;

inline std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

// Blocks of the header-and-FAT area: the header sector(s), the FAT entries of
// the subfiles, and the entries of the area itself (one per 240 of its blocks).
std::uint64_t headerBlocks(std::uint64_t headerBase, std::uint64_t fatEntries, std::uint64_t blockSize);

// What a container of many inputs will hold, and the layout chosen for it.
struct ContainerLayout {
    std::uint32_t headerBase = 0;  // bytes before the FAT: 1024 with -h, else 4096
    std::uint32_t subfileCount = 0;
    std::uint64_t largestSubfile = 0;
    std::uint64_t totalBytes = 0;
    std::uint64_t totalSectors = 0;
    // The catalogue subfile the writer adds: its size, and the estimate from
    // which the block size is chosen (the choice stays what it always was;
    // the blocks planned are the exact ones).
    std::uint64_t catalogueBytes = 0;
    std::uint64_t catalogueEstimate = 0;
    // Two candidate block sizes, and the blocks and FAT entries each needs.
    std::uint32_t blockSizeA = 0, blockSizeB = 0;
    std::uint64_t fatEntriesA = 0, fatEntriesB = 0;
    std::uint64_t blocksA = 0, blocksB = 0;
    // The result.
    std::uint32_t blockSize = 0;
    std::uint32_t headerSize = 0;
    std::uint64_t fileSize = 0;
};

// Counts one subfile of `length` bytes into totals and the largest subfile.
void countSubfile(ContainerLayout& layout, std::uint64_t length);

// Counts one subfile's blocks and FAT entries under both candidates.
void countCandidateBlocks(ContainerLayout& layout, std::uint64_t length);

// The automatic block size for the totals counted.
std::uint32_t chooseBlockSize(const ContainerLayout& layout, bool shortHeader);

// The two candidates from the automatic size (or -b, in KiB), with the
// catalogue's blocks counted in; false (message printed) when the sizes are
// beyond any container.
bool planCandidates(ContainerLayout& layout, bool shortHeader, std::uint32_t blockSizeKb);

// Picks the cheaper candidate within the limits; false when neither fits or
// the writer could not number its blocks.
bool pickLayout(ContainerLayout& layout);

// The verbose size line of a planned container.
void reportLayoutSize(const ContainerLayout& layout);

// The container of one map.
struct MapLayout {
    std::uint32_t blockSize = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t fileSize = 0;
};

// The starting block size of a map's container from the total of its
// subfiles and their number.
std::uint32_t mapBlockSize(std::uint64_t totalSize, std::uint64_t subfileCount, bool shortHeader);

// Tries the block size, twice and four times it, for subfiles of these
// lengths, and keeps the smallest file within the limits.
MapLayout mapLayout(const std::vector<std::uint64_t>& subfileSizes, std::uint32_t blockSize, std::uint32_t headerBase);
