// A file the program reads or patches: an IMG container (its header and FAT
// kept in memory, unscrambled) or a file that holds a single subfile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

// A FAT entry is 512 bytes and lists up to 240 blocks.
inline constexpr std::uint64_t kFatEntrySize = 512;
inline constexpr std::uint64_t kBlocksPerFatEntry = 240;

// One 512-byte FAT entry, located in ImgHeader::headerBytes.
struct FatEntry {
    std::uint32_t offset = 0;   // byte offset of the raw entry in headerBytes
    std::int32_t group = -1;    // subfile the entry belongs to
    std::int32_t subfile = -1;  // for a part-0 entry, the subfile's number in FAT order
};

// The container fields of a file.
struct ImgHeader {
    std::uint32_t xorMask = 0;  // XOR byte repeated in all four bytes; 0 when plain
    std::uint32_t blockSize = 0;
    std::vector<std::uint8_t> headerBytes;  // header and FAT, unscrambled
    std::uint64_t headerLength = 0;         // as stored in the header entry
    std::uint64_t fatStart = 0;
    std::uint64_t firstEntry = 0;
    std::uint64_t fatLength = 0;
    std::uint32_t fatCount = 0;
    std::vector<FatEntry> fatEntries;
};

struct ContainerFile {
    std::string path;
    FileHandle handle;  // open only while a step reads or patches the file
    std::uint64_t size = 0;
    FileIdentity identity;  // for telling an output that would replace it
    bool identityKnown = false;
    ImgHeader img;  // headerBytes empty: not a container

    bool hasContainer() const { return !img.headerBytes.empty(); }
};

// Opens the file ("Open error" on failure); update mode is for in-place edits.
bool openContainer(ContainerFile& file, OpenMode mode);

// Closes a file that was only read; nothing of it can be lost.
void closeContainer(ContainerFile& file);

// Closes a patched file: "Write error" when a change may be lost.
bool closePatched(ContainerFile& file);

// Positioned transfers with the container's XOR mask applied, so that callers
// always see plain bytes; writeAt never changes the caller's buffer.
bool readAt(ContainerFile& file, std::uint8_t* buffer, std::uint64_t position, std::size_t length);
bool writeAt(ContainerFile& file, const std::uint8_t* buffer, std::uint64_t position, std::size_t length);

// The description in a container's header: the 20 bytes at 0x49 and the 30
// at 0x65, cut after the last byte above 32 (among positions 1 to 49 when
// the first byte always stays, else 0 to 49) and at the first NUL; empty
// for a file that is not a container.
std::string containerDescription(const ImgHeader& img, bool firstStays);

// The header's update and creation dates (0x0A-0x0B, 0x39-0x3F) set to the
// run's date.
void putHeaderDate(std::uint8_t* header);

// The description fields (20 bytes at 0x49, 30 at 0x65): the text cut to 50
// bytes and padded with blanks.
void putHeaderDescription(std::uint8_t* header, const std::string& text);

// XORs exactly `length` bytes with the 32-bit mask taken as little-endian
// words from the buffer's start; no byte beyond the length is touched.
void xorBuffer(std::uint8_t* buffer, std::size_t length, std::uint32_t mask);
