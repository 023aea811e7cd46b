// One input path and what is read of it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "img/model.h"
#include "platform/file.h"

// A FAT entry is 512 bytes and lists up to 240 blocks.
inline constexpr std::uint64_t kFatEntrySize = 512;
inline constexpr std::uint64_t kBlocksPerFatEntry = 240;

// Map IDs run from 1 to this.
inline constexpr std::uint32_t kMaxMapId = 99999999;

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
    std::uint64_t headerLength = 0;  // as stored in the header entry
    std::uint64_t fatStart = 0;
    std::uint64_t firstEntry = 0;
    std::uint64_t fatLength = 0;
    std::uint32_t fatCount = 0;
    std::vector<FatEntry> fatEntries;
};

struct InputFile {
    std::string path;
    File stream;
    // 0 read; 1 cannot be opened; 2 size unknown; 3 rejected by the header
    // checks; 4 FAT or subfile headers; 5 map grouping; 6 MPS read; 7 MPS parse.
    int status = 0;
    std::uint64_t size = 0;
    ImgHeader img;

    std::vector<Subfile> subfiles;             // sorted FAT order; never resized after reading
    std::vector<SubfileIndexEntry> subfileIndex;  // FAT order
    std::vector<MapEntry> maps;                // in the order they were built
    std::vector<int> mapList;                  // maps in the order of their first subfile in the FAT

    int mpsMap = -1;  // index in mapList of the catalogue
    std::uint32_t mpsLength = 0;
    std::vector<std::uint8_t> mpsData;  // the catalogue, its spare bytes, then room to grow
    std::uint32_t mpsPad = 0;
    std::vector<MpsRecord> mpsRecords;

    // Inputs that hold one subfile (or other data) rather than a container.
    std::uint8_t inputKind = 0;  // 0 container; 1 TRF, 2 TYP, 3 MMR, 4 MD2, 11 other
    std::uint32_t rawLength = 0;
    std::uint32_t fid = 0;
    std::uint32_t pid = 0;
    std::uint32_t codePage = 0;
    SubfileType detectedType = typeNone;
    Subfile single;
    std::string fileBaseName;  // a stand-alone input's name in the split output

    bool isContainer() const { return inputKind == 0 && !img.headerBytes.empty(); }
};

// Inputs in command-line order; a deque keeps every record in place while the
// list grows, so references to an input stay valid.
using InputList = std::deque<InputFile>;
