// Writing one container front to back: the header and FAT are built in
// memory and written last, subfiles are copied block-aligned in between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

struct ImgWriter {
    std::string outputPath;
    OpenFile* file = nullptr;  // owned by the caller, who closes it
    std::uint8_t versionFlags = 0;  // bit 0 major given, bit 1 minor given, bit 2 MapSource flag given
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::uint8_t mapsourceFlag = 0;
    // The plan: nothing is written beyond the header area or the blocks of
    // the planned file size.
    std::uint32_t headerBase = 0;
    std::uint32_t blockSize = 0;
    std::uint64_t fileSize = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t fatCursor = 0;
    std::uint32_t nextBlock = 0;
    std::vector<std::uint8_t> headerBuffer;
    std::uint32_t chunkSize = 0;
    std::vector<std::uint8_t> copyBuffer;
    std::uint64_t position = 0;  // where the next byte goes
    std::uint32_t checksum = 0;
};

// "Total file length too big." for a plan or a writer beyond the limits.
void reportTooBig();

// Block numbers a container may hand out.
inline constexpr std::uint32_t kMaxBlocks = 65520;

// Sizes the header and copy buffers: the copy chunk is the largest subfile,
// at most chunkCap; false (message printed) when memory is short.
bool allocWriterBuffers(ImgWriter& w, std::uint64_t largestSubfile, std::uint32_t chunkCap);

// Fills the header sector and the header's own FAT entry and moves the
// stream to the first data block.
bool initHeader(ImgWriter& w);

// Appends the FAT entries of one subfile of `length` bytes; false with
// "Total file length too big." when the planned header area, the planned
// blocks or the block numbers would be exceeded.
bool addFatEntries(ImgWriter& w, const char* name8, const char* type3, std::uint64_t length);

// Writes bytes at the current position and adds them to the checksum.
bool writeData(ImgWriter& w, const std::uint8_t* data, std::size_t length);

// After a subfile of `length` bytes: zero bytes up to the block boundary.
bool padToBlock(ImgWriter& w, std::uint64_t length);

// A whole subfile from memory: its bytes, the padding, its FAT entries.
bool writeSubfile(ImgWriter& w, const char* name8, const char* type3, const std::vector<std::uint8_t>& bytes);

// Stores the mapset name, cut to 50 and blank-padded, as the description.
void setHeaderDescription(ImgWriter& w, const std::string& name);

// Zeroes the unused FAT entries, sets the checksum byte and writes the
// header-and-FAT area at offset 0.
bool writeHeader(ImgWriter& w);
