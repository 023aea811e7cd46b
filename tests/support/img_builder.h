// Builds IMG container images for tests, written apart from the reader so
// that one can be checked against the other.
//
// Two stages: planImg() lays a description out into FAT entries and block
// contents (an ImgPlan, plain data), renderImg() turns a plan into bytes.
// Tests that need a damaged FAT edit the plan in between; buildImg() does
// both stages for the well-formed case.
//
// Scrambling: when the XOR byte x is non-zero every stored byte is the plain
// byte XOR x, except byte 0, which holds x itself. The checksum byte (0x0F) is
// chosen last, so that the bytes as stored sum to 0 mod 256.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct ImgSubfile {
    std::string name;                      // at most 8 bytes, blank padded
    std::string type;                      // at most 3 bytes, blank padded
    std::vector<uint8_t> data;
    std::optional<uint32_t> declaredSize;  // length written to the FAT; default data.size()
};

// The header gets fixed dates: updated 1/2020 (0x0A-0x0B), created
// 2020-01-01 00:00:00 (0x39-0x3F).
struct ImgLayout {
    uint8_t blockExponent = 0;             // byte 0x62; layout uses blocks of 512 << blockExponent
    uint8_t xorByte = 0;
    uint32_t fatStartSector = 1;           // where the FAT really is, in 512-byte sectors (>= 1)
    std::optional<uint8_t> fatStartByte;   // value of byte 0x40; default fatStartSector
    uint32_t spareEntries = 0;             // zeroed FAT entries after the last used one
    std::string description;               // at most 50 bytes: 20 at 0x49, 30 at 0x65
    uint8_t versionMajor = 0, versionMinor = 0;
    std::vector<ImgSubfile> subfiles;      // laid out in this order, blocks ascending
};

struct ImgFatEntry {
    bool zeroed = false;                   // an all-zero (free) slot; other fields ignored
    std::string name;                      // blank padded to 8 bytes
    std::string type;                      // blank padded to 3 bytes
    uint32_t size = 0;                     // 0x0C
    uint8_t mark = 0;                      // 0x10: 3 in the first header entry
    uint8_t part = 0;                      // 0x11
    std::vector<uint16_t> blocks;          // at most 240; the rest of the slots become 0xFFFF

    static ImgFatEntry freeSlot() {
        ImgFatEntry e;
        e.zeroed = true;
        return e;
    }
};

struct ImgPlan {
    std::vector<uint8_t> header;           // plain sector 0; byte 0 and 0x0F are set when rendering
    uint8_t xorByte = 0;
    uint32_t blockSize = 512;
    uint32_t fatOffset = 512;              // byte offset of entry 0
    uint32_t fatSlots = 0;                 // entries in the FAT; those past `entries` are zero
    std::vector<ImgFatEntry> entries;      // entry 0 (and its continuations) are the header entries
    std::map<uint32_t, std::vector<uint8_t>> blocks;  // block number -> content, at most blockSize bytes
    std::optional<uint64_t> fileSize;      // cut or zero-extend the image to exactly this size
};

ImgPlan planImg(const ImgLayout& layout);
std::vector<uint8_t> renderImg(const ImgPlan& plan);
std::vector<uint8_t> buildImg(const ImgLayout& layout);

// Size renderImg() produces without plan.fileSize: the header-plus-FAT area
// and every block with content, rounded up to whole blocks.
uint64_t imgNaturalSize(const ImgPlan& plan);

// Index of the used entry with this name, type and part; throws if none.
size_t findFatEntry(const ImgPlan& plan, const std::string& name, const std::string& type, uint8_t part);
// Moves entries[from] so that it ends up at index `to`; a `to` past the last
// entry leaves free slots in between. `to` must be below fatSlots.
void moveFatEntry(ImgPlan& plan, size_t from, size_t to);
// Sets byte 0x0F so that the bytes as they are sum to 0 mod 256 (after a test
// patched a rendered image).
void fixImgChecksum(std::vector<uint8_t>& image);

// Little-endian helpers; put* grows the vector when writing past its end.
void putLe16(std::vector<uint8_t>& v, size_t offset, uint16_t value);
void putLe24(std::vector<uint8_t>& v, size_t offset, uint32_t value);
void putLe32(std::vector<uint8_t>& v, size_t offset, uint32_t value);
void appendLe16(std::vector<uint8_t>& v, uint16_t value);
void appendLe32(std::vector<uint8_t>& v, uint32_t value);
uint16_t readLe16(const std::vector<uint8_t>& v, size_t offset);
uint32_t readLe32(const std::vector<uint8_t>& v, size_t offset);

// The header every subfile starts with: length u16 at 0, "GARMIN " + type at
// 2, 1 at 0x0C, creation date at 0x0E-0x14. Zero-filled to headerLength bytes
// (at least 0x15).
std::vector<uint8_t> commonHeader(const std::string& type3, uint16_t headerLength, uint16_t year = 2020,
                                  uint8_t month = 1, uint8_t day = 1, uint8_t hour = 0, uint8_t minute = 0,
                                  uint8_t second = 0);

// One record of a product list subfile: letter, u16 body length, body.
std::vector<uint8_t> mpsRecord(char letter, const std::vector<uint8_t>& body);

// Writes the bytes to a file, replacing it; throws on failure.
void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
