// Independent checker for IMG containers that clx writes.
//
// Written from the container layout alone, with the standard library only and
// nothing shared with the program, so that a writer bug cannot hide behind
// the same bug in its checker. verifyImg() checks every property a writer has
// to guarantee and stops at the first violation, naming it; subfileBytes()
// then hands out a subfile's contents for comparisons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct VerifiedSubfile {
    std::string name;   // 8 bytes as stored, blank padded
    std::string type;   // 3 bytes as stored
    uint32_t size = 0;  // bytes, from the FAT
    uint32_t firstBlock = 0;
    uint32_t blockCount = 0;
    size_t fatIndex = 0;  // slot of its first entry in the FAT (slot 0 is the header entry)
    size_t entries = 0;   // FAT entries it takes (parts)

    // "NAME.TYP" without the padding blanks, as listings print it.
    std::string fullName() const;
};

struct VerifiedImg {
    uint8_t xorByte = 0;
    uint32_t blockSize = 0;
    uint32_t headerLength = 0;                               // size of the header entry: header sector, gap and FAT
    uint32_t fatStart = 0;                                   // byte offset of the first FAT entry
    uint32_t fatSlots = 0;                                   // 512-byte entries between fatStart and headerLength
    uint32_t usedEntries = 0;                                // of those, in use (header entries included)
    uint32_t headerBlocks = 0;                               // blocks of the header entry
    uint32_t totalBlocks = 0;                                // header blocks + data blocks = file size / block size
    uint16_t heads = 0, sectorsPerTrack = 0, cylinders = 0;  // as stored; cylinders is C+1
    uint16_t year = 0;                                       // creation date and time at 0x39
    uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    uint8_t updateMonth = 0, updateYear = 0;  // 0x0A, 0x0B
    std::string description;                  // both description fields joined, trailing blanks removed
    std::vector<VerifiedSubfile> subfiles;    // in FAT order

    // The subfile called "NAME    TYP" (11 bytes) or "NAME.TYP"; null if none.
    const VerifiedSubfile* find(const std::string& name) const;
};

struct ImgVerifyOptions {
    // The header fields that only a complete writer fills in: byte 0x17, the
    // disk geometry (0x18-0x1D, 0x5D-0x60, 0x63), the partition entry at
    // 0x1BE and the ranges of the date fields. The test image builder leaves
    // them zero, so its output is checked with this off.
    bool strictHeader = true;
    // Whole-file properties: no XOR byte, a byte sum of 0 mod 256, and the
    // file ending with the last block in use. Other programs' containers do
    // not all keep them (mkgmap leaves the sum and adds a spare block to a
    // tile), so reading theirs turns this off; the FAT and layout checks stay.
    bool strictFile = true;
};

// Geometry a container of `fileSize` bytes must declare.
struct ImgGeometry {
    uint16_t heads = 0;             // H
    uint16_t sectorsPerTrack = 0;   // T
    uint32_t cylinder = 0;          // C (stored as C+1 at 0x1C)
    uint32_t partitionSectors = 0;  // H*T*(C+1), at 0x1CA
};
ImgGeometry expectedImgGeometry(uint64_t fileSize);
// Value of the u16 at 0x63 for that geometry and block exponent.
uint16_t expectedImgBlockCountField(const ImgGeometry& g, unsigned blockExponent);

// True when `file` is a well-formed container; fills `out`. On failure
// `error` says what is wrong and where, and `out` holds whatever was read before it.
bool verifyImg(const std::vector<uint8_t>& file, VerifiedImg& out, std::string& error,
               const ImgVerifyOptions& options = {});

// Contents of one subfile, `size` bytes, with any XOR byte undone. Throws
// std::out_of_range when `img` has no such subfile. `name11` is either the
// 11 stored bytes ("63240001TRE") or "63240001.TRE".
std::vector<uint8_t> subfileBytes(const std::vector<uint8_t>& file, const VerifiedImg& img, const std::string& name11);
