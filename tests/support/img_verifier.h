// Checks the containers clx writes. Written from the layout alone, sharing nothing with the program (only the
// test builder's byte helpers), so that a writer bug cannot hide behind the same bug in its checker.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct VerifiedSubfile {
    std::string name, type;  // 8 and 3 bytes as stored, blank padded
    uint32_t size = 0, firstBlock = 0;
    std::string fullName() const;  // "NAME.TYP" without the padding blanks
};

struct VerifiedImg {
    uint32_t blockSize = 0, fatStart = 0;   // fatStart: byte offset of the first FAT entry
    uint16_t year = 0;                      // creation year at 0x39
    std::string description;                // both description fields joined, trailing blanks removed
    std::vector<VerifiedSubfile> subfiles;  // in FAT order
};

struct ImgVerifyOptions {
    bool strictHeader = true;  // byte 0x17, disk geometry, partition entry, date ranges: the builder leaves them 0
    bool strictFile = true;    // byte sum 0 and no block after the last one used: not all producers keep them
};

// True when `file` is a well-formed, unscrambled container, with `out` filled;
// else `error` names the first property that does not hold, and where.
bool verifyImg(const std::vector<uint8_t>& file, VerifiedImg& out, std::string& error,
               const ImgVerifyOptions& options = {});

// Contents of one subfile ("63240001TRE" or "63240001.TRE"); throws
// std::out_of_range when there is no such subfile.
std::vector<uint8_t> subfileBytes(const std::vector<uint8_t>& file, const VerifiedImg& img, const std::string& name);

// A subfile of a container of any maker (the relaxed checks); throws
// std::runtime_error when the container is refused.
std::vector<uint8_t> subfileOf(const std::vector<uint8_t>& file, const std::string& name);

// A container checked by verifyImg (a failed check fails the calling test, naming `what`), its subfiles by name.
struct Img {
    std::vector<uint8_t> file;
    VerifiedImg img;
    std::vector<uint8_t> operator[](const std::string& name) const { return subfileBytes(file, img, name); }
    std::vector<std::string> order() const;  // full names in FAT order
};
Img verifiedImg(std::vector<uint8_t> file, const ImgVerifyOptions& options = {}, const std::string& what = "");
Img readImg(const std::filesystem::path& path, const ImgVerifyOptions& options = {});
