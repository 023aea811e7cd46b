#include "common/file_ops.h"

#include <algorithm>
#include <cstring>

#include "common/message.h"
#include "common/options.h"
#include "platform/path.h"

namespace {

constexpr Msg kAllocError{"Out of memeory.\n", "Brak pamieci operacyjnej.\n"};
constexpr Msg kOpenError{"Open error, file %s.\n", "Błąd otwarcia pliku %s.\n"};
constexpr Msg kReadError{"Read error, file %s.\n", "Błąd odczytu pliku %s.\n"};
constexpr Msg kWriteError{"Write error, file %s.\n", "Błąd zapisu pliku %s.\n"};
constexpr Msg kSeekError{"Seek error, file %s.\n", "Błąd seek, plik %s.\n"};
constexpr Msg kOutputExists{"Output file already exist, file %s.\n", "Plik wyjściowy już istnieje, plik %s.\n"};
constexpr Msg kCreateError{"Create output file error, file %s.\n", "Błąd utworzenia pliku wyjścioweg %s.\n"};
constexpr Msg kReadStructureError{"Read structure error, file %s.\n", "Błąd odczytu struktury, plik %s.\n"};
constexpr Msg kWriteStructureError{"Write structure error, file %s.\n", "Błąd zapisu struktury, plik %s.\n"};


}  // namespace

void reportAllocError() { say(kAllocError); }
void reportWriteError(const std::string& name) { say(kWriteError, name); }
void reportReadError(const std::string& name) { say(kReadError, name); }
void reportSeekError(const std::string& name) { say(kSeekError, name); }
void reportOpenError(const std::string& name) { say(kOpenError, name); }
void reportReadStructureError(const std::string& name) { say(kReadStructureError, name); }
void reportWriteStructureError(const std::string& name) { say(kWriteStructureError, name); }

bool openInput(InputFile& input, const char* mode) {
    input.stream = platformOpen(input.path.c_str(), mode);
    if (!input.stream) {
        reportOpenError(input.path);
        return false;
    }
    return true;
}

void closeInput(InputFile& input) { input.stream.close(); }

bool fileExists(const std::string& name) { return platformOpen(name.c_str(), "rb").isOpen(); }

File createOutput(const std::string& name, bool allowExisting, bool* existed) {
    File f;
    if (existed) *existed = false;
    if (allowExisting) {
        f = platformOpen(name.c_str(), "wb");
    } else {
        bool exists = false;
        f = platformCreateNew(name.c_str(), exists);
        if (exists) {
            say(kOutputExists, name);
            if (existed) *existed = true;
            return File();
        }
    }
    if (!f) say(kCreateError, name);
    return f;
}

std::string outputPathFor(const std::string& name) {
    if (options.outputDirLength == 0) return name;
    std::string full = options.outputDir;
    if (!platformEndsInSeparator(full)) full += platformSeparator;
    return full + name;
}

File createOutputInDir(const std::string& name, bool allowExisting, std::string* builtName, bool* existed) {
    std::string full = outputPathFor(name);
    if (builtName) *builtName = full;
    return createOutput(full, allowExisting, existed);
}

int seek64(std::FILE* stream, std::int64_t offset, int origin) {
    if (!stream || origin < 0 || origin > 2) return -1;
    return platformSeek(stream, offset, origin);
}

bool readAt(InputFile& input, std::uint8_t* buffer, std::uint64_t position, std::size_t length) {
    if (position > static_cast<std::uint64_t>(INT64_MAX) || seek64(input.stream.get(), static_cast<std::int64_t>(position), SEEK_SET) != 0) {
        reportSeekError(input.path);
        return false;
    }
    if (length && std::fread(buffer, 1, length, input.stream.get()) != length) {
        reportReadError(input.path);
        return false;
    }
    xorBuffer(buffer, length, input.img.xorMask);
    return true;
}

bool writeAt(InputFile& input, std::uint8_t* buffer, std::uint64_t position, std::size_t length) {
    if (position > static_cast<std::uint64_t>(INT64_MAX) || seek64(input.stream.get(), static_cast<std::int64_t>(position), SEEK_SET) != 0) {
        reportSeekError(input.path);
        return false;
    }
    xorBuffer(buffer, length, input.img.xorMask);
    bool ok = length == 0 || std::fwrite(buffer, 1, length, input.stream.get()) == length;
    xorBuffer(buffer, length, input.img.xorMask);
    if (!ok) reportWriteError(input.path);
    return ok;
}

bool writeFatEntries(InputFile& input, std::size_t firstEntry, std::uint64_t size) {
    ImgHeader& img = input.img;
    if (size == 0) return true;
    if (img.blockSize == 0) {
        reportWriteStructureError(input.path);
        return false;
    }
    std::uint64_t blocks = (size + img.blockSize - 1) / img.blockSize;
    std::uint64_t entries = (blocks + kBlocksPerFatEntry - 1) / kBlocksPerFatEntry;
    if (firstEntry > img.fatEntries.size() || entries > img.fatEntries.size() - firstEntry) {
        reportWriteStructureError(input.path);
        return false;
    }
    for (std::uint64_t i = 0; i < entries; ++i) {
        std::uint32_t offset = img.fatEntries[firstEntry + i].offset;
        if (offset > img.headerBytes.size() || kFatEntrySize > img.headerBytes.size() - offset) {
            reportWriteStructureError(input.path);
            return false;
        }
        if (!writeAt(input, img.headerBytes.data() + offset, offset, kFatEntrySize)) return false;
    }
    return true;
}

void xorBuffer(std::uint8_t* buffer, std::size_t length, std::uint32_t mask) {
    if (mask == 0) return;
    for (std::size_t i = 0; i < length; ++i) buffer[i] ^= static_cast<std::uint8_t>(mask >> (8 * (i & 3)));
}

std::uint32_t byteSum(const std::uint8_t* buffer, std::size_t length) {
    // Eight bytes at a time in 16-bit lanes (two bytes per lane and word, so
    // 128 words fit before a lane could overflow); every byte of a join passes here.
    constexpr std::uint64_t kLanes = 0x00FF00FF00FF00FFull;
    std::uint64_t total = 0;
    std::size_t i = 0;
    while (length - i >= 8) {
        std::uint64_t acc = 0;
        std::size_t words = std::min<std::size_t>((length - i) / 8, 128);
        for (std::size_t k = 0; k < words; ++k, i += 8) {
            std::uint64_t w;
            std::memcpy(&w, buffer + i, 8);
            acc += (w & kLanes) + ((w >> 8) & kLanes);
        }
        total += (acc & 0xFFFF) + ((acc >> 16) & 0xFFFF) + ((acc >> 32) & 0xFFFF) + (acc >> 48);
    }
    for (; i < length; ++i) total += buffer[i];
    return static_cast<std::uint32_t>(total);
}
