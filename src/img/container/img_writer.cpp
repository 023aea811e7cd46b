#include "img/container/img_writer.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/date.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/container_file.h"

namespace {

constexpr Msg kTooBig{"Total file length too big.\n", "Suma plików zbyt duża (dokładne).\n"};

constexpr std::uint32_t kMaxPartsPerSubfile = 256;  // the part number is one byte
const std::uint8_t kZeros[4096] = {};

}  // namespace

void reportTooBig() { say(kTooBig); }

bool allocWriterBuffers(ImgWriter& w, std::uint64_t largestSubfile, std::uint32_t chunkCap) {
    w.chunkSize = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(largestSubfile, chunkCap)));
    return allocChecked(w.headerBuffer, std::size_t{w.headerSize}) && allocChecked(w.copyBuffer, w.chunkSize);
}

bool initHeader(ImgWriter& w) {
    std::vector<std::uint8_t>& h = w.headerBuffer;
    std::fill(h.begin(), h.begin() + w.headerBase, 0);
    std::fill(h.begin() + w.headerBase, h.begin() + w.headerSize, 0xFF);

    std::uint8_t e = 0;
    while (e < 11 && (1u << e) < w.blockSize / 512) ++e;
    const std::uint64_t s = w.fileSize;
    const std::uint32_t heads = s >= 0x4000000 ? 256 : 16;
    const std::uint32_t sectorsPerTrack = s >= 0x1000000 ? 32 : 8;
    const std::uint64_t sectors = (s + 511) / 512;
    const std::uint32_t cylinders = static_cast<std::uint32_t>(sectors / (heads * sectorsPerTrack));
    const std::uint32_t totalSectors = heads * sectorsPerTrack * (cylinders + 1);

    if (w.versionFlags & 1) h[0x08] = w.versionMajor;
    if (w.versionFlags & 2) h[0x09] = w.versionMinor;
    putHeaderDate(h.data());
    if (w.versionFlags & 4) h[0x0E] = w.mapsourceFlag;
    std::memcpy(h.data() + 0x10, "DSKIMG", 6);
    h[0x17] = 2;
    putU16(h.data() + 0x18, sectorsPerTrack);
    putU16(h.data() + 0x1A, heads);
    putU16(h.data() + 0x1C, cylinders + 1);
    h[0x40] = static_cast<std::uint8_t>(w.headerBase / 512);
    std::memcpy(h.data() + 0x41, "GARMIN", 6);
    putHeaderDescription(h.data(), "");
    putU16(h.data() + 0x5D, heads);
    putU16(h.data() + 0x5F, sectorsPerTrack);
    h[0x61] = 9;
    h[0x62] = e;
    std::uint32_t blocks = (totalSectors >> e) & 0xFFFF;
    putU16(h.data() + 0x63, blocks ? blocks : 0xFFFF);
    h[0x1C0] = 1;
    h[0x1C3] = static_cast<std::uint8_t>(heads - 1);
    h[0x1C4] = static_cast<std::uint8_t>(sectorsPerTrack | ((cylinders & 0x300) >> 2));
    h[0x1C5] = static_cast<std::uint8_t>(cylinders & 0xFF);
    putU32(h.data() + 0x1CA, totalSectors);
    h[0x1FE] = 0x55;
    h[0x1FF] = 0xAA;

    w.fatCursor = w.headerBase;
    w.nextBlock = 0;
    if (!addFatEntries(w, "        ", "   ", w.headerSize)) return false;
    h[w.headerBase + 0x10] = 3;

    w.checksum = 0;
    w.position = std::uint64_t{w.blockSize} * w.nextBlock;
    return true;
}

bool addFatEntries(ImgWriter& w, const char* name8, const char* type3, std::uint64_t length) {
    if (length == 0) return true;
    const std::uint64_t blocks = (length + w.blockSize - 1) / w.blockSize;
    const std::uint64_t entries = (blocks + kBlocksPerFatEntry - 1) / kBlocksPerFatEntry;
    const std::uint64_t plannedBlocks = w.fileSize / w.blockSize;
    if (entries > kMaxPartsPerSubfile || w.fatCursor + entries * kFatEntrySize > w.headerSize ||
        w.nextBlock + blocks > kMaxBlocks || w.nextBlock + blocks > plannedBlocks) {
        reportTooBig();
        return false;
    }
    std::uint64_t left = blocks;
    for (std::uint64_t k = 0; k < entries; ++k) {
        std::uint8_t* e = w.headerBuffer.data() + w.fatCursor;
        std::memset(e, 0, 0x20);
        std::memset(e + 0x20, 0xFF, kFatEntrySize - 0x20);
        e[0] = 1;
        std::memcpy(e + 1, name8, 8);
        std::memcpy(e + 9, type3, 3);
        if (k == 0) putU32(e + 0x0C, static_cast<std::uint32_t>(length));
        e[0x11] = static_cast<std::uint8_t>(k);
        std::uint64_t here = std::min<std::uint64_t>(left, kBlocksPerFatEntry);
        for (std::uint64_t i = 0; i < here; ++i) putU16(e + 0x20 + 2 * i, w.nextBlock++);
        left -= here;
        w.fatCursor += static_cast<std::uint32_t>(kFatEntrySize);
    }
    return true;
}

bool writeData(ImgWriter& w, const std::uint8_t* data, std::size_t length) {
    if (!w.file || !writeChecked(*w.file, w.outputPath, w.position, data, length)) return false;
    w.position += length;
    w.checksum += byteSum(data, length);
    return true;
}

bool padToBlock(ImgWriter& w, std::uint64_t length) {
    std::uint64_t pad = (w.blockSize - length % w.blockSize) % w.blockSize;
    for (std::uint64_t left = pad; left > 0;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof kZeros));
        if (!writeData(w, kZeros, n)) return false;
        left -= n;
    }
    return true;
}

bool writeSubfile(ImgWriter& w, const char* name8, const char* type3, const std::vector<std::uint8_t>& bytes) {
    return addFatEntries(w, name8, type3, bytes.size()) && writeData(w, bytes.data(), bytes.size()) &&
           padToBlock(w, bytes.size());
}

void setHeaderDescription(ImgWriter& w, const std::string& name) { putHeaderDescription(w.headerBuffer.data(), name); }

bool writeHeader(ImgWriter& w) {
    std::fill(w.headerBuffer.begin() + w.fatCursor, w.headerBuffer.begin() + w.headerSize, 0);
    w.headerBuffer[0x0F] = 0;
    w.checksum += byteSum(w.headerBuffer.data(), w.headerSize);
    w.headerBuffer[0x0F] = static_cast<std::uint8_t>(0u - w.checksum);
    return w.file && writeChecked(*w.file, w.outputPath, 0, w.headerBuffer.data(), w.headerSize);
}
