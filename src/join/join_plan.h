// Planning a join: what goes into the output, the block size, the size of
// the header-and-FAT area and of the file, before a byte is written.
#pragma once

#include <cstdint>
#include <string>

#include "common/input_file.h"

struct JoinLayout {
    std::uint32_t subfileCount = 0;
    std::uint32_t mapCount = 0;
    std::uint8_t ntFlag = 0;
    std::uint32_t mapsetNameLength = 0;
    std::uint32_t headerBase = 0;
    std::uint64_t mpsEstimate = 0;
    std::uint32_t presentKinds = 0;
    std::uint32_t excludeTypes = 0;
    std::uint64_t largestSubfile = 0;
    std::uint64_t totalBytes = 0;
    std::uint64_t totalSectors = 0;
    std::uint32_t blockSizeA = 0, blockSizeB = 0;
    std::uint64_t fatEntriesA = 0, fatEntriesB = 0;
    std::uint64_t blocksA = 0, blocksB = 0;
    std::uint32_t blockSize = 0;
    std::uint32_t headerSize = 0;
    std::uint64_t fileSize = 0;
};

// The -j command.
bool joinFiles(InputList& inputs);

void warnRepeatedMapIds(InputList& inputs);

// The two counting passes over one input; countInput is false (message
// printed) for a stand-alone input too large for a container.
bool countInput(const InputFile& input, JoinLayout& layout);
void countBlocks(const InputFile& input, JoinLayout& layout);

std::uint32_t chooseBlockSize(const JoinLayout& layout, bool shortHeader);
bool pickLayout(JoinLayout& layout);

// The verbose size line of a planned container.
void reportLayoutSize(const JoinLayout& layout);

// Block candidates from the automatic size (or -b); false (message printed)
// when the sizes are beyond any container.
bool planCandidates(JoinLayout& layout, bool shortHeader, std::uint32_t blockSizeKb);

// The description stored in a container's header: 50 bytes, trailing blanks
// and control bytes cut (the first byte always stays).
std::string containerDescription(const InputFile& input);
