// The FAT of a container: entries numbered into groups, sorted, and listed
// as subfiles with their block chains checked.
#pragma once

#include <cstdint>
#include <vector>

#include "img/container/container_file.h"

// A raw FAT entry in the header bytes.
struct FatEntryView {
    const std::uint8_t* raw;
    std::uint8_t flag() const { return raw[0]; }
    const std::uint8_t* name() const { return raw + 1; }  // 8 characters, then 3 of type
    std::uint32_t length() const;
    std::uint8_t part() const { return raw[0x11]; }
    bool isPart0() const { return flag() == 1 && part() == 0 && length() != 0; }
    bool sameName(const FatEntryView& o) const;
};

FatEntryView fatEntryView(const ImgHeader& img, const FatEntry& e);

// One subfile as its part-0 entry lists it, after sorting.
struct FatSubfile {
    std::uint32_t firstFat = 0;   // index of the part-0 entry in the sorted fatEntries
    std::uint32_t fatOffset = 0;  // byte offset of that entry in headerBytes
    std::uint32_t fatOrder = 0;   // its number among the part-0 entries in FAT order
    std::uint32_t size = 0;
};

// Numbers the entries (continuation runs cut off from their first part join
// the group of the part-0 entry of the same name), sorts them stably by use,
// name, group and part, and lists the subfiles in sorted order. false only
// when memory is short (message printed).
bool sortFat(ImgHeader& img, std::vector<FatSubfile>& subfiles);

// The FAT entries a subfile of `size` bytes needs (at least one).
std::uint64_t fatEntriesFor(std::uint64_t size, std::uint32_t blockSize);

// Whether a subfile's continuation entries follow its part-0 entry, with its
// name and parts 1, 2, ... as many as its length needs.
bool chainComplete(const ImgHeader& img, const FatSubfile& subfile);
