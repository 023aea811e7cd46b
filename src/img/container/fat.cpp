#include "img/container/fat.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/file_ops.h"

std::uint32_t FatEntryView::length() const { return getU32(raw + 0x0C); }

bool FatEntryView::sameName(const FatEntryView& o) const { return std::memcmp(name(), o.name(), 11) == 0; }

FatEntryView fatEntryView(const ImgHeader& img, const FatEntry& e) { return {img.headerBytes.data() + e.offset}; }

namespace {

// Group numbers in FAT order; continuation runs cut off from their first part
// join the group of the part-0 entry of the same name.
void numberGroups(ImgHeader& img) {
    std::vector<FatEntry>& entries = img.fatEntries;
    struct Group {
        std::size_t first;
        bool hasPart0;
    };
    std::vector<Group> groups;
    std::vector<std::size_t> entryGroup(entries.size(), SIZE_MAX);
    const std::uint8_t* starter = nullptr;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        FatEntryView e = fatEntryView(img, entries[i]);
        if (e.flag() == 0) continue;
        if (e.isPart0() || !starter || std::memcmp(e.name(), starter, 11) != 0) {
            groups.push_back({i, false});
            starter = e.name();
        }
        if (e.isPart0()) groups.back().hasPart0 = true;
        entryGroup[i] = groups.size() - 1;
    }
    std::vector<std::int32_t> number(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        number[g] = static_cast<std::int32_t>(g + 1);
        if (groups[g].hasPart0) continue;
        number[g] = 0;
        FatEntryView first = fatEntryView(img, entries[groups[g].first]);
        for (std::size_t j = 0; j < entries.size(); ++j) {
            FatEntryView e = fatEntryView(img, entries[j]);
            if (e.isPart0() && e.sameName(first)) {
                number[g] = static_cast<std::int32_t>(entryGroup[j] + 1);
                break;
            }
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entryGroup[i] != SIZE_MAX) entries[i].group = number[entryGroup[i]];
}

void sortEntries(ImgHeader& img) {
    std::vector<FatEntry>& entries = img.fatEntries;
    if (entries.size() < 2) return;
    auto used = [&](const FatEntry& e) { return fatEntryView(img, e).flag() == 1 && e.group >= 0; };
    // Stable, with the FAT order as the last key, so equal keys never move.
    std::stable_sort(entries.begin(), entries.end(), [&](const FatEntry& a, const FatEntry& b) {
        bool ua = used(a), ub = used(b);
        if (ua != ub) return ua;
        FatEntryView va = fatEntryView(img, a), vb = fatEntryView(img, b);
        int c = std::memcmp(va.name(), vb.name(), 8);
        if (c != 0) return c < 0;
        if (a.group != b.group) return a.group < b.group;
        return va.part() < vb.part();
    });
}

}  // namespace

bool sortFat(ImgHeader& img, std::vector<FatSubfile>& subfiles) {
    std::vector<FatEntry>& entries = img.fatEntries;
    std::size_t count = 0;
    for (FatEntry& e : entries)
        if (fatEntryView(img, e).isPart0()) e.subfile = static_cast<std::int32_t>(count++);
    subfiles.clear();
    if (count == 0) return true;
    numberGroups(img);
    sortEntries(img);
    try {
        subfiles.reserve(count);
    } catch (const std::bad_alloc&) {
        reportAllocError();
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        FatEntryView e = fatEntryView(img, entries[i]);
        if (!e.isPart0()) continue;
        subfiles.push_back({static_cast<std::uint32_t>(i), entries[i].offset, static_cast<std::uint32_t>(entries[i].subfile),
                            e.length()});
    }
    return true;
}

std::uint64_t fatEntriesFor(std::uint64_t size, std::uint32_t blockSize) {
    std::uint64_t blocks = (size + blockSize - 1) / blockSize;
    return std::max<std::uint64_t>(1, (blocks + kBlocksPerFatEntry - 1) / kBlocksPerFatEntry);
}

bool chainComplete(const ImgHeader& img, const FatSubfile& s) {
    const std::vector<FatEntry>& entries = img.fatEntries;
    if (img.blockSize == 0) return false;
    const std::uint64_t needed = fatEntriesFor(s.size, img.blockSize);
    if (s.firstFat + needed > entries.size()) return false;
    FatEntryView first = fatEntryView(img, entries[s.firstFat]);
    for (std::uint64_t k = 1; k < needed; ++k) {
        FatEntryView c = fatEntryView(img, entries[s.firstFat + k]);
        if (!c.sameName(first) || c.part() != k) return false;
    }
    return true;
}
