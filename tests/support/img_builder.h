// The one place where tests build bytes (containers, subfile headers, catalogue records), written apart from the
// program to check it against. planImg() lays a layout out into FAT entries and blocks, plain data a test may damage;
// renderImg() makes the bytes: with XOR byte x all but byte 0 (x) are stored XOR x; byte 0x0F makes them sum to 0.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/run_clx.h"

using Bytes = std::vector<uint8_t>;

struct ImgSubfile {
    std::string name, type;  // at most 8 and 3 bytes, blank padded
    Bytes data = {};
};

// The header gets fixed dates: updated 1/2020, created 2020-01-01 00:00:00.
struct ImgLayout {
    uint8_t blockExponent = 0, xorByte = 0;  // blocks of 512 << blockExponent (0x62)
    uint32_t fatStartSector = 1;             // byte 0x40, and where the FAT is
    uint32_t spareEntries = 0;               // free FAT slots after the last used one
    std::string description = {};            // at most 50 bytes: 20 at 0x49, 30 at 0x65
    uint8_t versionMajor = 0, versionMinor = 0;
    std::vector<ImgSubfile> subfiles = {};  // laid out in this order, blocks ascending
};

struct ImgFatEntry {
    std::string name, type;
    uint32_t size = 0;
    uint8_t mark = 0, part = 0;    // 0x10 (3 in the first header entry), 0x11
    std::vector<uint16_t> blocks;  // at most 240; the other slots become 0xFFFF
};

struct ImgPlan {
    Bytes header;  // plain sector 0; bytes 0 and 0x0F are set when rendering
    uint8_t xorByte = 0;
    uint32_t blockSize = 512, fatOffset = 512;
    uint32_t fatSlots = 0;             // entries in the FAT; those past `entries` are zero
    std::vector<ImgFatEntry> entries;  // the header's entries, then each subfile's parts
    std::map<uint32_t, Bytes> blocks;  // block number -> content
    std::optional<uint64_t> fileSize;  // cut or zero-extend the image to this size
};

ImgPlan planImg(const ImgLayout& layout);
Bytes renderImg(const ImgPlan& plan);
inline Bytes buildImg(const ImgLayout& layout) { return renderImg(planImg(layout)); }
void fixImgChecksum(Bytes& image);  // after patching an image

inline uint64_t ceilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }
// Little-endian fields; put* grows the vector, read* throws past its end.
void putLe(Bytes& v, size_t offset, uint32_t value, int bytes);
inline void putLe16(Bytes& v, size_t offset, uint32_t value) { putLe(v, offset, value, 2); }
inline void putLe32(Bytes& v, size_t offset, uint32_t value) { putLe(v, offset, value, 4); }
// Copies text (any bytes) to `offset`, growing the vector.
void putText(Bytes& v, size_t offset, const std::string& text);
inline uint16_t readLe16(const Bytes& v, size_t o) { return static_cast<uint16_t>(v.at(o) | v.at(o + 1) << 8); }
inline uint32_t readLe32(const Bytes& v, size_t o) { return readLe16(v, o) | uint32_t{readLe16(v, o + 2)} << 16; }

// Bytes built field by field.
struct Fields {
    Bytes bytes;
    Fields& le(uint32_t v, int n) { putLe(bytes, bytes.size(), v, n); return *this; }
    Fields& u8(uint32_t v) { return le(v, 1); }
    Fields& u16(uint32_t v) { return le(v, 2); }
    Fields& u32(uint32_t v) { return le(v, 4); }
    Fields& text(const std::string& s) { bytes.insert(bytes.end(), s.begin(), s.end()); return *this; }
    Fields& cstr(const std::string& s) { return text(s).u8(0); }  // with its NUL
    operator Bytes() const { return bytes; }
};
Bytes concat(std::initializer_list<Bytes> parts);

// Length, "GARMIN " + type, 1 at 0x0C, date at 0x0E; zero-filled to headerLength.
Bytes commonHeader(const std::string& type3, uint16_t headerLength, uint16_t year = 2020, uint8_t month = 1,
                   uint8_t day = 1, uint8_t hour = 0, uint8_t minute = 0, uint8_t second = 0);
// A 188-byte TRE header (sections right after it, map ID at 0x74) in `size` bytes.
Bytes treSubfile(uint32_t mapId, size_t size = 300);

// Catalogue records: letter, u16 body length, body. 'L': product, family, map number, the texts with their NULs,
// map ID, 0. 'F': product, family, name. 'V': mapset name and a zero byte.
Bytes mpsRecord(char letter, const Bytes& body);
Bytes recordL(uint16_t pid, uint16_t fid, uint32_t number, std::initializer_list<std::string> texts, uint32_t mapId);
inline Bytes recordF(uint16_t pid, uint16_t fid, const std::string& n) {
    return mpsRecord('F', Fields().u16(pid).u16(fid).cstr(n));
}
inline Bytes recordV(const std::string& mapset) { return mpsRecord('V', Fields().cstr(mapset).u8(0)); }

inline void writeBytes(const std::filesystem::path& p, const Bytes& b) { writeFile(p, {b.begin(), b.end()}); }
