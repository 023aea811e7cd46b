#include "img/container/subfile_io.h"

#include <algorithm>

#include "common/bytes.h"
#include "common/file_ops.h"

bool subfilePosition(const ImgHeader& img, std::uint32_t firstFat, std::uint64_t offset, std::uint64_t& position) {
    if (img.blockSize == 0) return false;
    std::uint64_t k = offset / img.blockSize;
    std::uint64_t entry = firstFat + k / kBlocksPerFatEntry;
    if (entry >= img.fatEntries.size()) return false;
    const std::uint8_t* raw = img.headerBytes.data() + img.fatEntries[entry].offset;
    position = std::uint64_t{getU16(raw + 0x20 + 2 * (k % kBlocksPerFatEntry))} * img.blockSize + offset % img.blockSize;
    return true;
}

bool mapSubfileRange(const ImgHeader& img, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                     std::vector<FilePiece>& pieces) {
    if (firstFat >= img.fatEntries.size() || img.blockSize == 0) return false;
    const std::uint64_t size = getU32(img.headerBytes.data() + img.fatEntries[firstFat].offset + 0x0C);
    if (offset > size || length > size - offset) return false;
    const std::uint64_t bs = img.blockSize;
    for (std::uint64_t done = 0; done < length;) {
        std::uint64_t q = offset + done;
        std::uint64_t position;
        if (!subfilePosition(img, firstFat, q, position)) return false;
        std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(bs - q % bs, length - done));
        if (!pieces.empty() && pieces.back().position + pieces.back().length == position)
            pieces.back().length += take;
        else
            pieces.push_back({position, take});
        done += take;
    }
    return true;
}

bool readSubfileBytes(ContainerFile& file, std::uint32_t firstFat, std::uint64_t offset, std::size_t length,
                      std::uint8_t* buffer) {
    std::vector<FilePiece> pieces;
    if (!mapSubfileRange(file.img, firstFat, offset, length, pieces)) {
        reportReadStructureError(file.path);
        return false;
    }
    for (const FilePiece& p : pieces) {
        if (!readAt(file, buffer, p.position, p.length)) return false;
        buffer += p.length;
    }
    return true;
}

bool readSource(const SubfileSource& source, std::uint64_t offset, std::size_t length, std::uint8_t* buffer) {
    ContainerFile& file = *source.file;
    if (file.hasContainer()) return readSubfileBytes(file, source.firstFat, offset, length, buffer);
    if (offset > file.size || length > file.size - offset) {
        reportReadStructureError(file.path);
        return false;
    }
    return readAt(file, buffer, offset, length);
}
