#include "join/join_plan.h"

#include <algorithm>

#include "common/file_ops.h"
#include "common/message.h"
#include "common/options.h"
#include "join/img_writer.h"
#include "join/join_writer.h"

namespace {

constexpr Msg kInputMissing{"Input files missing.\n", "Brak plików wejściowych.\n"};
constexpr Msg kRepeatedHead{"\n== Warning: repeated map ID number.\n== Map ID %u (%X)",
                            "\n== Ostrzeżenie: powielenie numerów ID map.\n== Mapa ID %u (%X)"};
constexpr Msg kRepeatedFile{", file %s", ", plik %s"};
constexpr Msg kRepeatedEnd{".\n", ".\n"};
constexpr Msg kTooManySectors{"Total file length too big (sectors %X, %uk).\n", "Suma plików zbyt duża (sektory %X, %uk).\n"};
constexpr Msg kTooBigBlocks{"Total file length too big (blocks).\n", "Suma plików zbyt duża (blok).\n"};
constexpr Msg kSize{"Size: block %u, header %u, file %llu\n", "rozmiary: blok %u, nagłówek %u, plik %llu\n"};

constexpr std::uint64_t kMaxSectors = 0x8000000;
constexpr std::uint32_t kMaxBlockSize = 0x100000;
constexpr std::uint64_t kMaxLayoutBlocks = 65529;
constexpr std::uint64_t kNtContainerOverhead = 63;

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

bool isNtPart(SubfileType t) { return t >= typeDem && t <= typeTre; }

// Calls `take(length)` for every subfile of an input the join writes, with
// the maps' parts that -z puts into one container counted as one.
template <class Take>
void forEachWritten(const InputFile& input, const JoinLayout& layout, Take take) {
    if (input.inputKind != 0) {
        take(std::uint64_t{input.rawLength});
        return;
    }
    for (const Subfile& s : input.subfiles) {
        if (s.map < 0) continue;
        const MapEntry& map = input.maps[s.map];
        if (map.excluded || map.kind == mpcMap || s.type == typeMps) continue;
        take(std::uint64_t{s.size});
    }
    for (const MapEntry& map : input.maps) {
        if (map.excluded || map.kind != mpcMap) continue;
        std::uint64_t combined = 0;
        for (std::uint32_t i = 0; i < map.subfileCount; ++i) {
            const Subfile& s = input.subfiles[map.firstSubfile + i];
            if (layout.excludeTypes & (1u << s.type)) continue;
            if (layout.ntFlag && isNtPart(s.type)) combined += s.size;
            else take(std::uint64_t{s.size});
        }
        if (combined) take(combined + kNtContainerOverhead);
    }
}

bool linked(const MapEntry& map) { return map.mps >= 0; }

}  // namespace

std::string containerDescription(const InputFile& input) {
    const std::vector<std::uint8_t>& h = input.img.headerBytes;
    if (h.size() < 0x65 + 30) return {};
    std::string d(reinterpret_cast<const char*>(h.data() + 0x49), 20);
    d.append(reinterpret_cast<const char*>(h.data() + 0x65), 30);
    std::size_t length = 0;
    for (std::size_t i = 1; i < d.size(); ++i)
        if (static_cast<unsigned char>(d[i]) > 32) length = i + 1;
    d.resize(length);
    return d;
}

void warnRepeatedMapIds(InputList& inputs) {
    struct Row {
        std::uint32_t id;
        const InputFile* file;
    };
    std::vector<Row> rows;
    for (const InputFile& input : inputs)
        for (const MapEntry& map : input.maps)
            if (map.mapId) rows.push_back({map.mapId, &input});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].id != rows[i - 1].id) continue;
        warn(kRepeatedHead, rows[i].id, rows[i].id);
        say(kRepeatedFile, rows[i - 1].file->path);
        if (rows[i].file != rows[i - 1].file) say(kRepeatedFile, rows[i].file->path);
        sayLine(kRepeatedEnd);
    }
}

bool countInput(const InputFile& input, JoinLayout& layout) {
    if (input.inputKind != 0) {
        // A subfile's length is 32 bits in the FAT.
        if (input.size > 0xFFFFFFFFu) {
            reportTooBig();
            return false;
        }
        ++layout.mapCount;
        layout.presentKinds |= 1u << input.inputKind;
    } else {
        layout.mapCount += static_cast<std::uint32_t>(input.maps.size());
    }
    forEachWritten(input, layout, [&](std::uint64_t length) {
        ++layout.subfileCount;
        layout.largestSubfile = std::max(layout.largestSubfile, length);
        layout.totalBytes += length;
        layout.totalSectors += ceilDiv(length, 512);
    });
    if (input.inputKind != 0) return true;

    std::uint64_t needRecords = 0;
    for (const Subfile& s : input.subfiles) {
        if (s.map < 0) continue;
        const MapEntry& map = input.maps[s.map];
        if (map.excluded) continue;
        if (map.kind == ntMap && !linked(map)) ++needRecords;
        if (map.kind != mpcMap) layout.largestSubfile = std::max<std::uint64_t>(layout.largestSubfile, s.size);
        if (s.type == typeMps && map.kind != mpcMap) layout.mpsEstimate += s.size;
    }
    for (const MapEntry& map : input.maps) {
        if (map.excluded) continue;
        layout.presentKinds |= 1u << map.kind;
        if (map.kind == ntMap && !linked(map)) layout.mpsEstimate += 180;
        if (map.kind == mpcMap && !linked(map)) ++needRecords;
    }
    if (needRecords)
        layout.mpsEstimate +=
            (containerDescription(input).size() + 2 * layout.mapsetNameLength + 22) * needRecords;
    return true;
}

void countBlocks(const InputFile& input, JoinLayout& layout) {
    forEachWritten(input, layout, [&](std::uint64_t length) {
        std::uint64_t a = ceilDiv(length, layout.blockSizeA), b = ceilDiv(length, layout.blockSizeB);
        layout.blocksA += a;
        layout.fatEntriesA += ceilDiv(a, kBlocksPerFatEntry);
        layout.blocksB += b;
        layout.fatEntriesB += ceilDiv(b, kBlocksPerFatEntry);
    });
}

std::uint32_t chooseBlockSize(const JoinLayout& l, bool shortHeader) {
    std::uint64_t s = ceilDiv(l.totalSectors, 65535);
    std::uint64_t m = 2;
    while (m < s) m *= 2;
    std::uint64_t bs = 512 * m;
    const bool cap = shortHeader && bs <= 1024;
    auto est = [&](std::uint64_t b) {
        return ceilDiv(2 * (l.totalBytes / b) + l.headerBase + 288 * std::uint64_t{l.subfileCount}, b) +
               ceilDiv(l.totalBytes + (l.subfileCount / 2) * b, b) + ceilDiv(l.mpsEstimate, b);
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

bool planCandidates(JoinLayout& l, bool shortHeader, std::uint32_t blockSizeKb) {
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
    l.blocksA = std::max<std::uint64_t>(1, ceilDiv(l.mpsEstimate, l.blockSizeA));
    l.fatEntriesA = ceilDiv(l.blocksA, kBlocksPerFatEntry);
    l.blocksB = std::max<std::uint64_t>(1, ceilDiv(l.mpsEstimate, l.blockSizeB));
    l.fatEntriesB = ceilDiv(l.blocksB, kBlocksPerFatEntry);
    return true;
}

bool pickLayout(JoinLayout& l) {
    auto headerBlocks = [&](std::uint64_t size, std::uint64_t fatEntries) {
        std::uint64_t h = ceilDiv(l.headerBase + 512 * fatEntries + 512, size);
        if (h > kBlocksPerFatEntry) h = ceilDiv(l.headerBase + 512 * fatEntries + 512 * ceilDiv(h, kBlocksPerFatEntry) + 512, size);
        return h;
    };
    std::uint64_t hA = headerBlocks(l.blockSizeA, l.fatEntriesA), totalA = hA + l.blocksA;
    std::uint64_t hB = headerBlocks(l.blockSizeB, l.fatEntriesB), totalB = hB + l.blocksB;
    bool chooseA = (l.blockSizeA / 512) * totalA <= (l.blockSizeB / 512) * totalB && totalA < kMaxLayoutBlocks;
    std::uint64_t h = chooseA ? hA : hB, total = chooseA ? totalA : totalB;
    l.blockSize = chooseA ? l.blockSizeA : l.blockSizeB;
    if (total >= kMaxLayoutBlocks) return false;
    l.headerSize = static_cast<std::uint32_t>(h * l.blockSize);
    l.fileSize = total * l.blockSize;
    return true;
}

void reportLayoutSize(const JoinLayout& layout) {
    if (options.verbose) say(kSize, layout.blockSize, layout.headerSize, layout.fileSize);
}

bool joinFiles(InputList& inputs) {
    if (inputs.empty()) {
        say(kInputMissing);
        return false;
    }
    warnRepeatedMapIds(inputs);

    JoinLayout layout;
    layout.headerBase = options.shortHeader ? 1024 : 4096;
    if (options.dropDem) layout.excludeTypes |= 1u << typeDem;
    if (options.dropRouting) layout.excludeTypes |= 1u << typeNod;
    layout.ntFlag = options.ntFormat;
    layout.mapsetNameLength =
        options.mapsetName ? static_cast<std::uint32_t>(std::min<std::size_t>(options.mapsetName->size(), 50)) : 12;
    for (const InputFile& input : inputs)
        if (!countInput(input, layout)) return false;
    if (!planCandidates(layout, options.shortHeader, options.blockSizeKb)) return false;
    for (const InputFile& input : inputs) countBlocks(input, layout);
    if (!pickLayout(layout)) {
        reportTooBig();
        return false;
    }
    reportLayoutSize(layout);
    return writeJoin(inputs, layout);
}
