#include "img/container.h"

#include <algorithm>
#include <cstring>

#include "common/file_ops.h"
#include "common/message.h"
#include "common/options.h"

namespace {

constexpr Msg kWrongBlockSize{"Wrong header (block size), file %s.\n", "Zły format nagłówka (rozmiar bloku) pliku %s.\n"};
constexpr Msg kWrongFirstFat{"Wrong header (first FAT), file %s.\n", "Zły format nagłówka (pierwszy FAT) pliku %s.\n"};
constexpr Msg kHeaderNotEven{"Header length not even, file %s.\n", "Nierówna długość nagłówka, plik %s.\n"};
constexpr Msg kWrongFatSize{"Wrong header (fat size), file %s.\n", "Zły format nagłówka (rozmar fat) pliku %s.\n"};

constexpr std::size_t kProbeSize = 16384;

// A used entry with an all-blank name: the header entry.
bool isHeaderEntry(const std::uint8_t* p) {
    if (p[0] != 1) return false;
    for (int i = 1; i < 12; ++i)
        if (p[i] != ' ') return false;
    return true;
}

bool blankName(const std::uint8_t* entry) {
    for (int i = 1; i < 12; ++i)
        if (entry[i] != ' ') return false;
    return true;
}

// Finds the header entry: first where byte 0x40 points, then by searching
// down from 4608 (or the last whole sector of a short file).
std::uint64_t findFatStart(const std::vector<std::uint8_t>& probe) {
    const std::uint64_t n = probe.size();
    std::uint64_t p = std::uint64_t{probe[0x40]} * 512;
    if (p >= 512 && p + 512 <= n && isHeaderEntry(probe.data() + p)) return p;
    std::uint64_t start = n >= 5120 ? 4608 : (n - 512) / 512 * 512;
    for (std::uint64_t q = start; q >= 512; q -= 512)
        if (q + 12 <= n && isHeaderEntry(probe.data() + q)) return q;
    return 0;
}

// One contiguous piece of a subfile in the file.
struct Piece {
    std::uint64_t position;
    std::size_t length;
};

// Maps a byte range of a subfile to file positions, joining consecutive
// blocks into one piece. false when the FAT does not cover the range.
bool mapRange(const InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
              std::vector<Piece>& pieces) {
    const ImgHeader& img = input.img;
    const std::uint64_t bs = img.blockSize;
    std::uint64_t done = 0;
    while (done < length) {
        std::uint64_t q = offset + done;
        std::uint64_t within = q % bs;
        std::uint64_t position;
        if (!subfilePosition(input, firstFat, q, position)) return false;
        std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(bs - within, length - done));
        if (!pieces.empty() && pieces.back().position + pieces.back().length == position)
            pieces.back().length += take;
        else
            pieces.push_back({position, take});
        done += take;
    }
    return true;
}

}  // namespace

bool subfilePosition(const InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::uint64_t& position) {
    const ImgHeader& img = input.img;
    std::uint64_t k = offset / img.blockSize;
    std::uint64_t entry = firstFat + k / kBlocksPerFatEntry;
    if (entry >= img.fatEntries.size()) return false;
    const std::uint8_t* raw = img.headerBytes.data() + img.fatEntries[entry].offset;
    position = std::uint64_t{getU16(raw + 0x20 + 2 * (k % kBlocksPerFatEntry))} * img.blockSize + offset % img.blockSize;
    return true;
}

namespace {

// The subfile length from its part-0 entry, when the range lies within it.
bool rangeInSubfile(const InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::size_t length) {
    const ImgHeader& img = input.img;
    if (firstFat >= img.fatEntries.size() || img.blockSize == 0) return false;
    std::uint64_t size = getU32(img.headerBytes.data() + img.fatEntries[firstFat].offset + 0x0C);
    return offset <= size && length <= size - offset;
}

}  // namespace

ContainerResult readContainer(InputFile& input, std::vector<std::uint8_t>& probe) {
    ImgHeader& img = input.img;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(input.size, kProbeSize));
    if (!allocChecked(probe, n)) return ContainerResult::failed;
    if (seek64(input.stream.get(), 0, SEEK_SET) != 0) {
        reportSeekError(input.path);
        return ContainerResult::failed;
    }
    if (n && std::fread(probe.data(), 1, n, input.stream.get()) != n) {
        reportReadError(input.path);
        return ContainerResult::failed;
    }
    if (n < 2048) return ContainerResult::notImg;

    std::uint8_t x = 0;
    if (std::memcmp(probe.data() + 0x41, "GARMIN", 6) != 0) {
        if (probe[0x41] == 'G') return ContainerResult::notImg;
        x = probe[0x41] ^ 'G';
        for (int i = 1; i < 6; ++i)
            if ((probe[0x41 + i] ^ x) != static_cast<std::uint8_t>("GARMIN"[i])) return ContainerResult::notImg;
    }
    for (int i = 0; i < 6; ++i)
        if ((probe[0x10 + i] ^ x) != static_cast<std::uint8_t>("DSKIMG"[i])) return ContainerResult::notImg;

    std::vector<std::uint8_t> plain = probe;
    img.xorMask = x * 0x01010101u;
    xorBuffer(plain.data(), plain.size(), img.xorMask);

    if (plain[0x61] != 9 || plain[0x62] > 11) {
        say(kWrongBlockSize, input.path);
        return ContainerResult::failed;
    }
    img.blockSize = 512u << plain[0x62];

    img.fatStart = findFatStart(plain);
    if (img.fatStart == 0) {
        say(kWrongFirstFat, input.path);
        return ContainerResult::failed;
    }
    const std::uint64_t length = getU32(plain.data() + img.fatStart + 0x0C);
    img.headerLength = length;
    if (length % img.blockSize != 0 && options.verbose) say(kHeaderNotEven, input.path);
    if (length > input.size || img.fatStart + 2 * kFatEntrySize > length) {
        say(kWrongFatSize, input.path);
        return ContainerResult::failed;
    }

    if (!allocChecked(img.headerBytes, static_cast<std::size_t>(length))) return ContainerResult::failed;
    if (!readAt(input, img.headerBytes.data(), 0, img.headerBytes.size())) return ContainerResult::failed;

    const std::uint8_t* h = img.headerBytes.data();
    img.firstEntry = img.fatStart + kFatEntrySize;
    while (blankName(h + img.firstEntry) && img.firstEntry + 2 * kFatEntrySize <= length) img.firstEntry += kFatEntrySize;

    // Free entries after the last used one are dropped when they fill more than a block.
    std::uint64_t lastUsed = img.firstEntry;
    for (std::uint64_t p = img.firstEntry; p < length; p += kFatEntrySize)
        if (h[p] != 0) lastUsed = p;
    img.fatLength = length;
    if (img.blockSize + lastUsed + kFatEntrySize < length) {
        img.fatLength = lastUsed + kFatEntrySize;
        img.headerBytes.resize(static_cast<std::size_t>(img.fatLength));
        img.headerBytes.shrink_to_fit();
    }

    img.fatCount = static_cast<std::uint32_t>((img.fatLength - img.firstEntry) / kFatEntrySize);
    if (!allocChecked(img.fatEntries, img.fatCount)) return ContainerResult::failed;
    for (std::uint32_t i = 0; i < img.fatCount; ++i)
        img.fatEntries[i] = {static_cast<std::uint32_t>(img.firstEntry + kFatEntrySize * i), -1, -1};
    return ContainerResult::accepted;
}

bool readSubfileBytes(InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                      std::uint8_t* buffer) {
    std::vector<Piece> pieces;
    if (!rangeInSubfile(input, firstFat, offset, length) || !mapRange(input, firstFat, offset, length, pieces)) {
        reportReadStructureError(input.path);
        return false;
    }
    for (const Piece& p : pieces) {
        if (!readAt(input, buffer, p.position, p.length)) return false;
        buffer += p.length;
    }
    return true;
}

bool writeSubfileBytes(InputFile& input, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                       std::uint8_t* buffer) {
    std::vector<Piece> pieces;
    bool ok = rangeInSubfile(input, firstFat, offset, length) && mapRange(input, firstFat, offset, length, pieces);
    // Never into the header and FAT, never beyond the file's end.
    for (const Piece& p : pieces)
        ok = ok && p.position >= input.img.headerLength && p.position <= input.size &&
             p.length <= input.size - p.position;
    if (!ok) {
        reportWriteStructureError(input.path);
        return false;
    }
    for (const Piece& p : pieces) {
        if (!writeAt(input, buffer, p.position, p.length)) return false;
        buffer += p.length;
    }
    return true;
}

bool readSubfileData(InputFile& input, const Subfile& subfile, std::uint64_t offset, std::size_t length,
                     std::uint8_t* buffer) {
    if (input.isContainer()) return readSubfileBytes(input, subfile.firstFat, offset, length, buffer);
    if (offset > input.size || length > input.size - offset) {
        reportReadStructureError(input.path);
        return false;
    }
    return readAt(input, buffer, offset, length);
}
