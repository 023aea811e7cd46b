// The IMG container: recognising it, locating its FAT, and reaching the bytes
// of a subfile through its block lists.
#pragma once

#include <cstdint>

#include "common/input_file.h"

enum class ContainerResult { accepted, notImg, failed };

// Reads the header and FAT of an input whose stream is open and whose size is
// known. notImg: the caller tries the input as a single subfile, with the
// first bytes of the file (at most 16384) left in probe; failed: the message
// has been printed.
ContainerResult readContainer(InputFile& input, std::vector<std::uint8_t>& probe);

// Reads `length` bytes from byte `offset` of the subfile whose part-0 entry is
// fatEntries[firstFat], unscrambled. The range must lie within the subfile's
// length ("Read structure error" otherwise).
bool readSubfileBytes(InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                      std::uint8_t* buffer);

// The in-place counterpart; the caller's buffer is unchanged afterwards. Every
// piece is mapped and checked before any byte is written: a block inside the
// header-and-FAT area or beyond the file's end refuses the whole range.
bool writeSubfileBytes(InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                       std::uint8_t* buffer);

// The file position of byte `offset` of a subfile, through its FAT entries;
// false when the entries do not reach that far.
bool subfilePosition(const InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::uint64_t& position);

// Reads bytes of a subfile whichever way the input holds it: through the FAT
// for a container, directly from the file for a single-subfile input.
bool readSubfileData(InputFile& input, const Subfile& subfile, std::uint64_t offset, std::size_t length,
                     std::uint8_t* buffer);

// Little-endian fields of a byte buffer.
inline std::uint16_t getU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t getU24(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (std::uint32_t{p[2]} << 16); }
inline std::uint32_t getU32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
inline void putU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
