// File and memory operations that print their own message when they fail and
// report the failure to the caller. None of them ends the process.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/input_file.h"
#include "platform/file.h"

// Sizes a buffer; prints the out-of-memory message and returns false when it
// cannot be had.
template <class T>
bool allocChecked(std::vector<T>& buffer, std::size_t count);

void reportAllocError();
void reportWriteError(const std::string& name);
void reportReadError(const std::string& name);
void reportSeekError(const std::string& name);
void reportOpenError(const std::string& name);
void reportReadStructureError(const std::string& name);
void reportWriteStructureError(const std::string& name);

// Opens input.path with the mode ("rb" or "r+b") into input.stream.
bool openInput(InputFile& input, const char* mode);
void closeInput(InputFile& input);

// True when the file can be opened for reading.
bool fileExists(const std::string& name);

// Creates an output for binary writing. With allowExisting false an existing
// name is refused ("Output file already exist") and never truncated; existed
// then tells that case from a real failure.
File createOutput(const std::string& name, bool allowExisting, bool* existed = nullptr);

// As createOutput, with the name placed in the split output directory when
// one is set. builtName receives the full name used.
File createOutputInDir(const std::string& name, bool allowExisting, std::string* builtName = nullptr,
                       bool* existed = nullptr);

// The full name createOutputInDir uses for a name.
std::string outputPathFor(const std::string& name);

// 64-bit seek; 0 on success. Prints nothing.
int seek64(std::FILE* stream, std::int64_t offset, int origin);

// Positioned transfers on an input; the container's XOR mask is applied so
// that callers always see plain bytes. writeAt leaves the buffer unchanged.
bool readAt(InputFile& input, std::uint8_t* buffer, std::uint64_t position, std::size_t length);
bool writeAt(InputFile& input, std::uint8_t* buffer, std::uint64_t position, std::size_t length);

// Writes the in-memory FAT entries of one subfile (starting at index
// firstEntry of fatEntries) back to the file.
bool writeFatEntries(InputFile& input, std::size_t firstEntry, std::uint64_t size);

// XORs exactly `length` bytes with the 32-bit mask taken as little-endian
// words from the buffer's start; no byte beyond the length is touched.
void xorBuffer(std::uint8_t* buffer, std::size_t length, std::uint32_t mask);

// Sum of all bytes; callers keep one-byte checksums with its low 8 bits.
std::uint32_t byteSum(const std::uint8_t* buffer, std::size_t length);

template <class T>
bool allocChecked(std::vector<T>& buffer, std::size_t count) {
    try {
        buffer.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
        reportAllocError();
        return false;
    } catch (const std::length_error&) {
        reportAllocError();
        return false;
    }
}
