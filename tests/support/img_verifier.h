// Independent checker for IMG containers that clx writes.
//
// Written from the container layout alone, with the standard library only and
// nothing shared with the program, so that a writer bug cannot hide behind
// the same bug in its checker. verifyImg() checks every property a writer has
// to guarantee and stops at the first violation, naming it; subfileBytes()
// then hands out a subfile's contents for comparisons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VerifiedSubfile {
    std::string name;   // 8 bytes as stored, blank padded
    std::string type;   // 3 bytes as stored
    uint32_t size = 0;  // bytes, from the FAT
    uint32_t firstBlock = 0;

    // "NAME.TYP" without the padding blanks, as listings print it.
    std::string fullName() const;
};

struct VerifiedImg {
    uint32_t blockSize = 0;
    uint32_t fatStart = 0;                  // byte offset of the first FAT entry
    uint16_t year = 0;                      // creation year at 0x39
    std::string description;                // both description fields joined, trailing blanks removed
    std::vector<VerifiedSubfile> subfiles;  // in FAT order

    // The subfile called "NAME    TYP" (11 bytes) or "NAME.TYP"; null if none.
    const VerifiedSubfile* find(const std::string& name) const;
};

struct ImgVerifyOptions {
    // The header fields that only a complete writer fills in: byte 0x17, the
    // disk geometry (0x18-0x1D, 0x5D-0x60, 0x63), the partition entry at
    // 0x1BE and the ranges of the date fields. The test image builder leaves
    // them zero, so its output is checked with this off.
    bool strictHeader = true;
    // Whole-file properties: a byte sum of 0 mod 256 and the file ending with
    // the last block in use. Other programs' containers do not all keep them
    // (some leave the sum and add a spare block), so reading theirs turns this
    // off; the FAT and layout checks stay.
    bool strictFile = true;
};

// True when `file` is a well-formed, unscrambled (XOR byte 0) container;
// fills `out`. On failure `error` says what is wrong and where.
bool verifyImg(const std::vector<uint8_t>& file, VerifiedImg& out, std::string& error,
               const ImgVerifyOptions& options = {});

// Contents of one subfile, `size` bytes. Throws std::out_of_range when `img`
// has no such subfile. `name11` is either the 11 stored bytes
// ("63240001TRE") or "63240001.TRE".
std::vector<uint8_t> subfileBytes(const std::vector<uint8_t>& file, const VerifiedImg& img, const std::string& name11);
