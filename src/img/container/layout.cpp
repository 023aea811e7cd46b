#include "img/container/layout.h"

#include <algorithm>

#include "common/message.h"
#include "img/container/container_file.h"
#include "img/container/img_writer.h"

namespace {

constexpr Msg kTooManySectors{"Total file length too big (sectors %X, %uk).\n", "Suma plików zbyt duża (sektory %X, %uk).\n"};
constexpr Msg kTooBigBlocks{"Total file length too big (blocks).\n", "Suma plików zbyt duża (blok).\n"};
constexpr Msg kSize{"Size: block %u, header %u, file %llu\n", "rozmiary: blok %u, nagłówek %u, plik %llu\n"};

constexpr std::uint64_t kMaxSectors = 0x8000000;
constexpr std::uint32_t kMaxBlockSize = 0x100000;

}  // namespace

std::uint64_t headerBlocks(std::uint64_t headerBase, std::uint64_t fatEntries, std::uint64_t blockSize) {
    std::uint64_t h = ceilDiv(headerBase + 512 * fatEntries + 512, blockSize);
    if (h > kBlocksPerFatEntry)
        h = ceilDiv(headerBase + 512 * fatEntries + 512 * ceilDiv(h, kBlocksPerFatEntry) + 512, blockSize);
    return h;
}

void countSubfile(ContainerLayout& l, std::uint64_t length) {
    ++l.subfileCount;
    l.largestSubfile = std::max(l.largestSubfile, length);
    l.totalBytes += length;
    l.totalSectors += ceilDiv(length, 512);
}

void countCandidateBlocks(ContainerLayout& l, std::uint64_t length) {
    std::uint64_t a = ceilDiv(length, l.blockSizeA), b = ceilDiv(length, l.blockSizeB);
    l.blocksA += a;
    l.fatEntriesA += ceilDiv(a, kBlocksPerFatEntry);
    l.blocksB += b;
    l.fatEntriesB += ceilDiv(b, kBlocksPerFatEntry);
}

std::uint32_t chooseBlockSize(const ContainerLayout& l, bool shortHeader) {
    std::uint64_t s = ceilDiv(l.totalSectors, 65535);
    std::uint64_t m = 2;
    while (m < s) m *= 2;
    std::uint64_t bs = 512 * m;
    const bool cap = shortHeader && bs <= 1024;
    auto est = [&](std::uint64_t b) {
        return ceilDiv(2 * (l.totalBytes / b) + l.headerBase + 288 * std::uint64_t{l.subfileCount}, b) +
               ceilDiv(l.totalBytes + (l.subfileCount / 2) * b, b) + ceilDiv(l.catalogueEstimate, b);
    };
    std::uint64_t n = est(bs);
    if (n > kMaxBlocks) {
        bs *= 2;
        n = est(bs);
    }
    std::uint64_t cost = n * (bs / 512);
    for (int i = 0; i < 5; ++i) {
        if (bs > 65535 || (cap && bs > 1023)) break;
        std::uint64_t b2 = 2 * bs;
        std::uint64_t cost2 = est(b2) * (b2 / 512);
        if (cost2 > cost) break;
        bs = b2;
        cost = cost2;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bs, 0xFFFFFFFFu));
}

bool planCandidates(ContainerLayout& l, bool shortHeader, std::uint32_t blockSizeKb) {
    if (l.totalSectors >= kMaxSectors) {
        say(kTooManySectors, l.totalSectors, l.totalBytes / 1024);
        return false;
    }
    std::uint32_t bs = chooseBlockSize(l, shortHeader);
    if (bs > kMaxBlockSize) {
        say(kTooBigBlocks);
        return false;
    }
    if (blockSizeKb) {
        l.blockSizeA = l.blockSizeB = blockSizeKb * 1024;
    } else if (bs == kMaxBlockSize) {
        l.blockSizeA = kMaxBlockSize / 2;
        l.blockSizeB = kMaxBlockSize;
    } else {
        l.blockSizeA = bs;
        l.blockSizeB = 2 * bs;
    }
    l.blocksA = std::max<std::uint64_t>(1, ceilDiv(l.catalogueBytes, l.blockSizeA));
    l.fatEntriesA = ceilDiv(l.blocksA, kBlocksPerFatEntry);
    l.blocksB = std::max<std::uint64_t>(1, ceilDiv(l.catalogueBytes, l.blockSizeB));
    l.fatEntriesB = ceilDiv(l.blocksB, kBlocksPerFatEntry);
    return true;
}

bool pickLayout(ContainerLayout& l) {
    std::uint64_t hA = headerBlocks(l.headerBase, l.fatEntriesA, l.blockSizeA), totalA = hA + l.blocksA;
    std::uint64_t hB = headerBlocks(l.headerBase, l.fatEntriesB, l.blockSizeB), totalB = hB + l.blocksB;
    bool chooseA = (l.blockSizeA / 512) * totalA <= (l.blockSizeB / 512) * totalB && totalA < kMaxLayoutBlocks;
    std::uint64_t h = chooseA ? hA : hB, total = chooseA ? totalA : totalB;
    l.blockSize = chooseA ? l.blockSizeA : l.blockSizeB;
    // The writer hands out no more block numbers than kMaxBlocks: a plan past
    // them would only fail halfway through the writing.
    if (total >= kMaxLayoutBlocks || total > kMaxBlocks) return false;
    l.headerSize = static_cast<std::uint32_t>(h * l.blockSize);
    l.fileSize = total * l.blockSize;
    return true;
}

void reportLayoutSize(const ContainerLayout& layout) { say(kSize, layout.blockSize, layout.headerSize, layout.fileSize); }

std::uint32_t mapBlockSize(std::uint64_t t, std::uint64_t n, bool shortHeader) {
    std::uint64_t m = 1;
    while (m < ceilDiv(ceilDiv(t, 512), 65535)) m *= 2;
    std::uint64_t bs = 512 * m;
    auto est = [&](std::uint64_t b) { return ceilDiv(t + (n * b) / 2, b) + ceilDiv(2 * (t / b) + 288 * n + 4096, b); };
    if (est(bs) > kMaxBlocks) bs *= 2;
    std::uint64_t cost = est(bs) * bs / 512;
    for (int i = 0; i < 5; ++i) {
        if (shortHeader && bs > 1023) break;
        std::uint64_t b2 = 2 * bs;
        std::uint64_t cost2 = est(b2) * b2 / 512;
        if (cost2 >= cost) break;
        bs = b2;
        cost = cost2;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bs, 0xFFFFFFFFu));
}

MapLayout mapLayout(const std::vector<std::uint64_t>& sizes, std::uint32_t blockSize, std::uint32_t headerBase) {
    struct Candidate {
        std::uint64_t b, blocks = 0, entries = 0, h = 0, total = 0, size = 0;
    };
    Candidate c[3] = {{blockSize}, {2ull * blockSize}, {4ull * blockSize}};
    for (Candidate& k : c) {
        for (std::uint64_t length : sizes) {
            std::uint64_t blocks = ceilDiv(length, k.b);
            k.blocks += blocks;
            k.entries += ceilDiv(blocks, kBlocksPerFatEntry);
        }
        k.h = headerBlocks(headerBase, k.entries, k.b);
        k.total = k.h + k.blocks;
        k.size = k.total * k.b;
    }
    const Candidate* chosen = &c[2];
    if (c[0].total < kMaxLayoutBlocks && c[0].size < c[1].size && c[0].size < c[2].size) chosen = &c[0];
    else if (c[1].total < kMaxLayoutBlocks && c[1].size < c[2].size) chosen = &c[1];
    MapLayout out;
    out.blockSize = static_cast<std::uint32_t>(chosen->b);
    out.headerSize = static_cast<std::uint32_t>(chosen->h * chosen->b);
    out.fileSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(chosen->size, 0xFFFFFFFFu));
    return out;
}
