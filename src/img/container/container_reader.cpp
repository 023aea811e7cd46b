#include "img/container/container_reader.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "common/message.h"

namespace {

constexpr Msg kWrongBlockSize{"Wrong header (block size), file %s.\n", "Zły format nagłówka (rozmiar bloku) pliku %s.\n"};
constexpr Msg kWrongFirstFat{"Wrong header (first FAT), file %s.\n", "Zły format nagłówka (pierwszy FAT) pliku %s.\n"};
constexpr Msg kHeaderNotEven{"Header length not even, file %s.\n", "Nierówna długość nagłówka, plik %s.\n"};
constexpr Msg kWrongFatSize{"Wrong header (fat size), file %s.\n", "Zły format nagłówka (rozmar fat) pliku %s.\n"};

constexpr std::size_t kProbeSize = 16384;

bool blankName(const std::uint8_t* entry) {
    for (int i = 1; i < 12; ++i)
        if (entry[i] != ' ') return false;
    return true;
}

// A used entry with an all-blank name: the header entry.
bool isHeaderEntry(const std::uint8_t* p) { return p[0] == 1 && blankName(p); }

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

}  // namespace

ContainerResult readContainer(ContainerFile& file, std::vector<std::uint8_t>& probe, bool verbose) {
    ImgHeader& img = file.img;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(file.size, kProbeSize));
    if (!allocChecked(probe, n)) return ContainerResult::failed;
    if (!readAt(file, probe.data(), 0, n)) return ContainerResult::failed;
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
    const std::uint32_t mask = x * 0x01010101u;
    xorBuffer(plain.data(), plain.size(), mask);

    if (plain[0x61] != 9 || plain[0x62] > 11) {
        say(kWrongBlockSize, file.path);
        return ContainerResult::failed;
    }
    img.blockSize = 512u << plain[0x62];

    img.fatStart = findFatStart(plain);
    if (img.fatStart == 0) {
        say(kWrongFirstFat, file.path);
        return ContainerResult::failed;
    }
    const std::uint64_t length = getU32(plain.data() + img.fatStart + 0x0C);
    img.headerLength = length;
    if (length % img.blockSize != 0 && verbose) say(kHeaderNotEven, file.path);
    if (length > file.size || img.fatStart + 2 * kFatEntrySize > length) {
        say(kWrongFatSize, file.path);
        return ContainerResult::failed;
    }

    img.xorMask = mask;
    if (!allocChecked(img.headerBytes, static_cast<std::size_t>(length))) return ContainerResult::failed;
    if (!readAt(file, img.headerBytes.data(), 0, img.headerBytes.size())) return ContainerResult::failed;

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
