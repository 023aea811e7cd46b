#include "img/container/patch.h"

#include <algorithm>
#include <vector>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "img/container/fat.h"
#include "img/container/subfile_io.h"

namespace {

constexpr std::size_t kChecksumAt = 0x0F;
constexpr std::size_t kHeaderSector = 0x200;

// The change of the byte sum, as stored, when `before` becomes `after`.
std::uint8_t storedSumChange(const std::uint8_t* before, const std::uint8_t* after, std::size_t length,
                             std::uint8_t x) {
    std::uint32_t change = 0;
    for (std::size_t i = 0; i < length; ++i) change += (after[i] ^ x) - (before[i] ^ x);
    return static_cast<std::uint8_t>(change);
}

// Moves the checksum byte opposite to a change, in memory and in the file.
bool keepChecksum(ContainerFile& file, std::uint8_t change) {
    if (change == 0) return true;
    std::uint8_t& plain = file.img.headerBytes[kChecksumAt];
    const std::uint8_t x = static_cast<std::uint8_t>(file.img.xorMask);
    const std::uint8_t updated = static_cast<std::uint8_t>(((plain ^ x) - change) ^ x);
    if (!writeAt(file, &updated, kChecksumAt, 1)) return false;
    plain = updated;
    return true;
}

// Writes bytes that lie in the header-and-FAT area, keeping the in-memory
// copy and the checksum in step.
bool patchHeaderArea(ContainerFile& file, std::size_t offset, const std::uint8_t* bytes, std::size_t length) {
    std::vector<std::uint8_t>& h = file.img.headerBytes;
    const std::uint8_t change = storedSumChange(h.data() + offset, bytes, length, static_cast<std::uint8_t>(file.img.xorMask));
    if (!writeAt(file, bytes, offset, length)) return false;
    std::copy(bytes, bytes + length, h.begin() + static_cast<std::ptrdiff_t>(offset));
    return keepChecksum(file, change);
}

std::uint64_t ceilDivBlocks(std::uint64_t length, std::uint64_t blockSize) { return (length + blockSize - 1) / blockSize; }

// The pieces of a subfile range, when every one lies in the file behind the
// header-and-FAT area.
bool patchablePieces(const ContainerFile& file, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                     std::vector<FilePiece>& pieces) {
    // Only through the subfile's own entries: a length its chain does not
    // reach would map into the next subfile's blocks.
    bool ok = file.hasContainer() && file.img.headerBytes.size() > kChecksumAt && firstFat < file.img.fatEntries.size() &&
              chainComplete(file.img, {firstFat, file.img.fatEntries[firstFat].offset, 0,
                                       fatEntryView(file.img, file.img.fatEntries[firstFat]).length()}) &&
              mapSubfileRange(file.img, firstFat, offset, length, pieces);
    for (const FilePiece& p : pieces)
        ok = ok && p.position >= file.img.headerLength && p.position <= file.size && p.length <= file.size - p.position;
    return ok;
}

}  // namespace

bool subfileRangePatchable(const ContainerFile& file, std::uint32_t firstFat, std::uint64_t offset,
                           std::size_t length) {
    std::vector<FilePiece> pieces;
    return patchablePieces(file, firstFat, offset, length, pieces);
}

bool patchSubfile(ContainerFile& file, std::uint32_t firstFat, std::uint64_t offset, const std::uint8_t* bytes,
                  std::size_t length) {
    std::vector<FilePiece> pieces;
    if (!patchablePieces(file, firstFat, offset, length, pieces)) {
        reportWriteStructureError(file.path);
        return false;
    }
    // The old bytes give the checksum's change.
    std::vector<std::uint8_t> before;
    if (!allocChecked(before, length)) return false;
    std::size_t done = 0;
    for (const FilePiece& p : pieces) {
        if (!readAt(file, before.data() + done, p.position, p.length)) return false;
        done += p.length;
    }
    done = 0;
    for (const FilePiece& p : pieces) {
        if (!writeAt(file, bytes + done, p.position, p.length)) return false;
        done += p.length;
    }
    return keepChecksum(file, storedSumChange(before.data(), bytes, length, static_cast<std::uint8_t>(file.img.xorMask)));
}

bool patchHeader(ContainerFile& file, std::size_t offset, const std::uint8_t* bytes, std::size_t length) {
    const bool covered = offset <= kHeaderSector && length <= kHeaderSector - offset &&
                         file.img.headerBytes.size() >= kHeaderSector;
    const bool hitsChecksum = offset <= kChecksumAt && kChecksumAt - offset < length;
    if (!covered || hitsChecksum) {
        reportWriteStructureError(file.path);
        return false;
    }
    return patchHeaderArea(file, offset, bytes, length);
}

bool patchFatName(ContainerFile& file, std::uint32_t firstFat, const char* name8) {
    const ImgHeader& img = file.img;
    bool ok = firstFat < img.fatEntries.size() && img.blockSize != 0;
    std::uint64_t needed = 0;
    if (ok) {
        FatSubfile s{firstFat, img.fatEntries[firstFat].offset, 0, fatEntryView(img, img.fatEntries[firstFat]).length()};
        ok = chainComplete(img, s);
        needed = fatEntriesFor(s.size, img.blockSize);
    }
    if (!ok) {
        reportWriteStructureError(file.path);
        return false;
    }
    const auto* name = reinterpret_cast<const std::uint8_t*>(name8);
    for (std::uint64_t k = 0; k < needed; ++k) {
        const std::size_t at = file.img.fatEntries[firstFat + k].offset + 1;
        if (!patchHeaderArea(file, at, name, 8)) return false;
    }
    return true;
}

bool patchFatLength(ContainerFile& file, std::uint32_t firstFat, std::uint32_t length) {
    const ImgHeader& img = file.img;
    bool ok = firstFat < img.fatEntries.size() && img.blockSize != 0;
    if (ok) {
        const std::uint32_t old = fatEntryView(img, img.fatEntries[firstFat]).length();
        ok = chainComplete(img, {firstFat, img.fatEntries[firstFat].offset, 0, old}) &&
             ceilDivBlocks(old, img.blockSize) == ceilDivBlocks(length, img.blockSize);
    }
    if (!ok) {
        reportWriteStructureError(file.path);
        return false;
    }
    std::uint8_t bytes[4];
    putU32(bytes, length);
    return patchHeaderArea(file, img.fatEntries[firstFat].offset + 0x0C, bytes, 4);
}

bool patchStandalone(ContainerFile& file, std::uint64_t offset, const std::uint8_t* bytes, std::size_t length) {
    if (file.hasContainer() || offset > file.size || length > file.size - offset) {
        reportWriteStructureError(file.path);
        return false;
    }
    return writeAt(file, bytes, offset, length);
}
