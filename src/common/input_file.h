// One input path and what is read of it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/file.h"

// One 512-byte FAT entry, located in ImgHeader::headerBytes.
struct FatEntry {
    std::uint32_t offset = 0;  // byte offset of the raw entry in headerBytes
    std::int32_t group = -1;   // subfile the entry belongs to
    std::int32_t subfile = -1; // for a part-0 entry, the subfile's number in FAT order
};

// The container fields of an input.
struct ImgHeader {
    std::uint32_t xorMask = 0;   // XOR byte repeated in all four bytes; 0 when plain
    std::uint32_t blockSize = 0;
    std::vector<std::uint8_t> headerBytes;  // header and FAT, unscrambled
    std::uint64_t fatStart = 0;
    std::uint64_t firstEntry = 0;
    std::uint64_t fatLength = 0;
    std::uint32_t fatCount = 0;
    std::vector<FatEntry> fatEntries;
};

struct InputFile {
    std::string path;
    File stream;
    int status = 0;
    std::uint64_t size = 0;
    ImgHeader img;
};

// Inputs in command-line order; a deque keeps every record in place while the
// list grows, so references to an input stay valid.
using InputList = std::deque<InputFile>;
