#include "img/map_grouping.h"

#include <algorithm>
#include <cstring>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container.h"
#include "img/headers.h"
#include "img/subfile_types.h"

namespace {

constexpr Msg kWrongFat{"Wrong FAT for subfile %s, file %s.\n", "Zły FAT podzbioru %s, plik %s.\n"};


struct EntryView {
    const std::uint8_t* raw;
    std::uint8_t flag() const { return raw[0]; }
    const std::uint8_t* name() const { return raw + 1; }  // 8 characters, then 3 of type
    std::uint32_t length() const { return getU32(raw + 0x0C); }
    std::uint8_t part() const { return raw[0x11]; }
    bool isPart0() const { return flag() == 1 && part() == 0 && length() != 0; }
    bool sameName(const EntryView& o) const { return std::memcmp(name(), o.name(), 11) == 0; }
};

EntryView view(const InputFile& input, const FatEntry& e) { return {input.img.headerBytes.data() + e.offset}; }

// Group numbers in FAT order; continuation runs cut off from their first part
// join the group of the part-0 entry of the same name.
void numberGroups(InputFile& input) {
    std::vector<FatEntry>& entries = input.img.fatEntries;
    struct Group {
        std::size_t first;
        bool hasPart0;
    };
    std::vector<Group> groups;
    std::vector<std::size_t> entryGroup(entries.size(), SIZE_MAX);
    const std::uint8_t* starter = nullptr;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EntryView e = view(input, entries[i]);
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
        EntryView first = view(input, entries[groups[g].first]);
        for (std::size_t j = 0; j < entries.size(); ++j) {
            EntryView e = view(input, entries[j]);
            if (e.isPart0() && e.sameName(first)) {
                number[g] = static_cast<std::int32_t>(entryGroup[j] + 1);
                break;
            }
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entryGroup[i] != SIZE_MAX) entries[i].group = number[entryGroup[i]];
}

void sortEntries(InputFile& input) {
    std::vector<FatEntry>& entries = input.img.fatEntries;
    if (entries.size() < 2) return;
    auto used = [&](const FatEntry& e) { return view(input, e).flag() == 1 && e.group >= 0; };
    // Stable, with the FAT order as the last key, so equal keys never move.
    std::stable_sort(entries.begin(), entries.end(), [&](const FatEntry& a, const FatEntry& b) {
        bool ua = used(a), ub = used(b);
        if (ua != ub) return ua;
        int c = std::memcmp(view(input, a).name(), view(input, b).name(), 8);
        if (c != 0) return c < 0;
        if (a.group != b.group) return a.group < b.group;
        return view(input, a).part() < view(input, b).part();
    });
}

bool readHeaders(InputFile& input, Subfile& s) {
    return readTreInfo(input, s) && readLblInfo(input, s) && readDemInfo(input, s) && readAuxInfo(input, s);
}

// Whether a subfile of `kind` may join a group of `groupKind`.
bool compatible(MapKind groupKind, MapKind kind) {
    auto mapLike = [](MapKind k) { return k == searchIndex || k == mpcMap || k == ntMap; };
    return kind == groupKind || (groupKind == sortTable && mapLike(kind)) || (kind == sortTable && mapLike(groupKind));
}

void takeHeaders(MapEntry& map, const Subfile& s) {
    if (!map.tre && s.tre) {
        map.tre = &*s.tre;
        map.mapId = s.tre->mapId;
        if (s.tre->hasDem) map.hasDem = 1;
        if (s.tre->hasRouting) map.hasRouting = 1;
    }
    if (!map.lbl && s.lbl) {
        map.lbl = &*s.lbl;
        map.codePage = s.lbl->codePage;
    }
    if (!map.dem && s.dem) map.dem = &*s.dem;
    if (!map.aux && s.aux) {
        map.aux = &*s.aux;
        map.codePage = s.aux->codePage;
    }
    if (s.type == typeDem) map.hasDem = 1;
    if (s.type == typeNod) map.hasRouting = 1;
    if (s.bad) ++map.badCount;
}

bool hexDigit(char c, std::uint32_t& v) {
    if (c >= '0' && c <= '9') v = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') v = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') v = static_cast<std::uint32_t>(c - 'A' + 10);
    else return false;
    return true;
}

}  // namespace

std::uint32_t mapIdFromName(const char* name) {
    std::uint64_t value = 0;
    if (name[0] == 'I') {
        for (int i = 1; i < 8; ++i) {
            std::uint32_t d;
            if (!hexDigit(name[i], d)) return 0;
            value = value * 16 + d;
        }
    } else {
        for (int i = 0; i < 8; ++i) {
            if (name[i] < '0' || name[i] > '9') return 0;
            value = value * 10 + static_cast<std::uint64_t>(name[i] - '0');
        }
    }
    return value != 0 && value <= kMaxMapId ? static_cast<std::uint32_t>(value) : 0;
}

bool analyseFat(InputFile& input) {
    std::vector<FatEntry>& entries = input.img.fatEntries;
    std::size_t count = 0;
    for (const FatEntry& e : entries)
        if (view(input, e).isPart0()) ++count;
    if (count == 0) return true;
    if (!allocChecked(input.subfiles, count) || !allocChecked(input.subfileIndex, count)) return false;

    std::int32_t next = 0;
    for (FatEntry& e : entries)
        if (view(input, e).isPart0()) {
            input.subfileIndex[next].fatOffset = e.offset;
            e.subfile = next++;
        }
    numberGroups(input);
    sortEntries(input);

    std::size_t made = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EntryView e = view(input, entries[i]);
        if (!e.isPart0()) continue;
        Subfile& s = input.subfiles[made];
        std::memcpy(s.name, e.name(), 11);
        s.name[11] = '\0';
        s.type = subfileTypeOf(s.name + 8);
        s.size = e.length();
        s.firstFat = static_cast<std::uint32_t>(i);
        s.fatOffset = entries[i].offset;
        SubfileIndexEntry& slot = input.subfileIndex[entries[i].subfile];
        slot.fatIndex = static_cast<std::uint32_t>(i);
        slot.subfile = static_cast<int>(made);
        ++made;

        std::uint64_t blocks = (std::uint64_t{s.size} + input.img.blockSize - 1) / input.img.blockSize;
        std::uint64_t needed = (blocks + kBlocksPerFatEntry - 1) / kBlocksPerFatEntry;
        bool chainOk = i + needed <= entries.size();
        for (std::uint64_t k = 1; chainOk && k < needed; ++k) {
            EntryView c = view(input, entries[i + k]);
            chainOk = c.sameName(e) && c.part() == k;
        }
        if (!chainOk) {
            say(kWrongFat, s.name, input.path);
            return false;
        }
        if (!readHeaders(input, s)) return false;
    }
    return true;
}

bool groupMaps(InputFile& input) {
    std::vector<MapEntry>& maps = input.maps;
    maps.clear();
    MapEntry* current = nullptr;
    for (std::size_t i = 0; i < input.subfiles.size(); ++i) {
        Subfile& s = input.subfiles[i];
        if (s.type == typeNone) continue;
        MapKind kind = kindOf(s.type);
        std::uint32_t bit = 1u << s.type;
        bool joins = current && !(current->typeMask & bit) && compatible(current->kind, kind) &&
                     std::memcmp(current->name, s.name, 8) == 0 &&
                     (kind != otherData || std::memcmp(current->ext, s.name + 8, 3) == 0);
        if (!joins) {
            MapEntry m;
            std::memcpy(m.name, s.name, 8);
            if (kind == otherData) std::memcpy(m.ext, s.name + 8, 3);
            m.kind = kind;
            m.firstSubfile = static_cast<std::uint32_t>(i);
            if (current && std::memcmp(current->name, m.name, 8) == 0 && current->kind == kind)
                m.dupIndex = current->dupIndex + 1;
            maps.push_back(m);
            current = &maps.back();
        } else if (current->kind == sortTable) {
            current->kind = kind;
        }
        current->typeMask |= bit;
        current->totalSize += s.size;
        ++current->subfileCount;
        s.map = static_cast<int>(maps.size() - 1);
        takeHeaders(*current, s);
    }

    input.mapList.clear();
    std::vector<bool> listed(maps.size(), false);
    for (const SubfileIndexEntry& slot : input.subfileIndex) {
        if (slot.subfile < 0) continue;
        int m = input.subfiles[slot.subfile].map;
        if (m >= 0 && !listed[m]) {
            listed[m] = true;
            input.mapList.push_back(m);
        }
    }

    for (int m : input.mapList) {
        MapEntry& map = maps[m];
        if (map.mapId == 0 && (map.kind == mpcMap || map.kind == ntMap) &&
            static_cast<unsigned char>(map.name[7]) > ' ')
            map.mapId = mapIdFromName(map.name);
    }
    return true;
}
