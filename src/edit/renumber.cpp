#include "edit/renumber.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "edit/map_filter.h"
#include "img/container/patch.h"
#include "img/container/subfile_io.h"
#include "img/model/map_ids.h"

namespace {

constexpr Msg kWrongId{"\n== Warning: wrong new map ID number.\n== Current map ID %u (%X), new map ID %u, (%X),\n== no changes made.\n\n",
                       "\n== Ostrzeżenie: zły nowy numer ID mapy.\n== Aktualny numer ID %u (%X), nowy numer ID %u (%X),\n== zmiana nie wyknona.\n\n"};
constexpr Msg kUnknownMdr{"\n== Warning: unknown structure of MDR subfile.\n== Subfile %s.\n",
                          "\n== Ostrzeżenie: nieznany format podzbioru MDR.\n== Podzbiór %s.\n"};
constexpr Msg kUnknownSubfile{"\n== Warning: unknown structure of subfile.\n== Subfile %s.\n",
                              "\n== Ostrzeżenie: nieznany format podzbioru.\n== Podzbiór %s.\n"};
constexpr Msg kMmr{"\n== Warning: changing MID in MMR subfile is unsupported, file %s.\n== no changes made.\n\n",
                   "\n== Ostrzeżenie: zmiana MID w podzbiorze MMR nie jest realizowana, plik %s.\n== zmiana nie wyknona.\n\n"};
constexpr Msg kFatLine{"  FAT %8s -> %8s\n", "  FAT %8s -> %8s\n"};
constexpr Msg kTreLine{"  TRE %08X -> %08X\n", "  TRE %08X -> %08X\n"};
constexpr Msg kSubfileLine{"  subfile %s\n", "  podzbiór %s\n"};
constexpr Msg kMdrLine{"  MDR %08X -> %08X\n", "  MDR %08X -> %08X\n"};
constexpr Msg kTrfLine{"  TRF %08X -> %08X\n", "  TRF %08X -> %08X\n"};
constexpr Msg kMd2Line{"  MD2 %08X -> %08X\n", "  MD2 %08X -> %08X\n"};
constexpr Msg kMpsHead{"  data MPS %s\n", "  dane MPS %s.\n"};
constexpr Msg kMpsLine{"  MPS %08X -> %08X\n", "  MPS %08X -> %08X\n"};

struct Renumbered {
    std::uint32_t oldId = 0, family = 0, newId = 0;
    int map = -1;
    char name[9] = {};
};

// One write the renumbering will make, checked before any is made.
struct PendingWrite {
    std::uint32_t firstFat = 0;
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> bytes;
};

struct Plan {
    std::vector<Renumbered> table;  // sorted by old ID and family; equal keys in map-list order
    std::vector<PendingWrite> writes;
    bool catalogueChanged = false;
    std::vector<std::uint8_t> catalogue;
};

const Renumbered* lookUp(const Plan& plan, std::uint32_t oldId, std::uint32_t family) {
    auto it = std::lower_bound(plan.table.begin(), plan.table.end(), std::pair{oldId, family},
                               [](const Renumbered& r, const std::pair<std::uint32_t, std::uint32_t>& key) {
                                   return std::pair{r.oldId, r.family} < key;
                               });
    return it != plan.table.end() && it->oldId == oldId && it->family == family ? &*it : nullptr;
}

// A companion subfile's family: its name as a number, hexadecimal after an
// "I", else decimal; 0 when it is not one.
std::uint32_t companionFamily(const char* name8) {
    const bool hex = name8[0] == 'I';
    std::uint64_t value = 0;
    for (int i = hex ? 1 : 0; i < 8; ++i) {
        const char c = name8[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : -1;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) return 0;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    }
    return value > 0xFFFFFFFF ? 0 : static_cast<std::uint32_t>(value);
}

struct SectionShape {
    std::size_t headerBytes;  // read of the header
    std::size_t offsetAt, lengthAt, recordSizeAt;
    bool exactlyFour;  // MDR: records of 4 bytes only
    const Msg* line;
};

const SectionShape kMdr{64, 0x1D, 0x21, 0x25, true, &kMdrLine};
const SectionShape kTrf{80, 0x3B, 0x41, 0x3F, false, &kTrfLine};
const SectionShape kMd2{236, 0x0B, 0x0F, 0x13, false, &kMd2Line};

// The map IDs of a companion's section: the last 4 bytes of each record.
// False only when a read fails; a section of another form is a warning.
bool planCompanion(InputFile& input, const Subfile& s, const SectionShape& shape, const EditSettings& settings,
                   Plan& plan) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(shape.headerBytes, s.size));
    std::vector<std::uint8_t> head(want);
    if (want && !readSubfileBytes(input, s.firstFat, 0, want, head.data())) return false;
    std::uint64_t offset = 0, length = 0, recordSize = 0;
    if (want >= shape.recordSizeAt + 2) {
        offset = getU32(head.data() + shape.offsetAt);
        length = getU32(head.data() + shape.lengthAt);
        recordSize = getU16(head.data() + shape.recordSizeAt);
    }
    const bool known = offset && length && (shape.exactlyFour ? recordSize == 4 : recordSize >= 4) &&
                       offset <= s.size && length <= s.size - offset;
    if (!known) {
        warn(&shape == &kMdr ? kUnknownMdr : kUnknownSubfile, s.name.shown());
        return true;
    }
    std::vector<std::uint8_t> section;
    if (!allocChecked(section, static_cast<std::size_t>(length))) return false;
    if (!readSubfileBytes(input, s.firstFat, offset, section.size(), section.data())) return false;
    if (settings.verbose) say(kSubfileLine, s.name.shown());
    const std::uint32_t family = companionFamily(s.name.c);
    bool changed = false;
    for (std::size_t at = 0; at + recordSize <= section.size(); at += recordSize) {
        std::uint8_t* id = section.data() + at + recordSize - 4;
        if (const Renumbered* r = lookUp(plan, getU32(id), family)) {
            if (settings.verbose) say(*shape.line, r->oldId, r->newId);
            putU32(id, r->newId);
            changed = true;
        }
    }
    if (changed) plan.writes.push_back({s.firstFat, offset, std::move(section)});
    return true;
}

// The catalogue's 'L' records of the renumbered maps.
void planCatalogue(InputFile& input, const EditSettings& settings, Plan& plan) {
    if (input.mpsRecords.empty() || input.mpsMap < 0) return;
    const MapEntry& catalogue = input.maps[input.mapList[input.mpsMap]];
    if (settings.verbose) say(kMpsHead, catalogue.name.shown());
    plan.catalogue.assign(input.mpsData.begin(), input.mpsData.begin() + input.mpsLength);
    for (const MpsRecord& rec : input.mpsRecords) {
        if (rec.type != 'L' || rec.length <= 21 || !recordBytes(input.mpsData, rec)) continue;
        std::uint8_t* r = plan.catalogue.data() + rec.offset;
        const std::uint32_t id = getU32(r + rec.length - 8);
        const Renumbered* found = lookUp(plan, id, getU16(r + 5));
        if (!found) continue;
        putU32(r + rec.length - 8, found->newId);
        if (getU32(r + 7) == id) putU32(r + 7, found->newId);
        if (settings.verbose) say(kMpsLine, id, found->newId);
        plan.catalogueChanged = true;
    }
    if (plan.catalogueChanged) plan.writes.push_back({input.subfiles[catalogue.firstSubfile].firstFat, 0, plan.catalogue});
}

// The maps to renumber, their new IDs and names, and their TRE writes.
void planMaps(InputFile& input, const EditSettings& settings, std::uint32_t& next, Plan& plan) {
    for (int m : input.mapList) {
        const MapEntry& map = input.maps[m];
        const TreInfo* tre = mapTre(input, map);
        if (map.mapId == 0 || !tre || (map.kind != mpcMap && map.kind != ntMap)) continue;
        std::uint32_t family = 0, product = 0;
        mapFamily(input, map, family, product);
        if (settings.familyId > 0 && family != settings.familyId) continue;
        std::uint32_t newId = settings.mapIdMode == 2 ? map.mapId + settings.newMapId
                              : settings.mapIdMode == 255 ? map.mapId - settings.newMapId
                                                          : next++;
        const bool wrapped = (settings.mapIdMode == 2 && newId < map.mapId) ||
                             (settings.mapIdMode == 255 && settings.newMapId > map.mapId);
        if (wrapped || newId < 1 || newId > kMaxMapId) {
            warn(kWrongId, map.mapId, map.mapId, newId, newId);
            continue;
        }
        Renumbered r{map.mapId, family, newId, m, {}};
        std::snprintf(r.name, sizeof r.name, map.name.c[0] >= '0' && map.name.c[0] <= '9' ? "%08u" : "I%07X", newId);
        if (settings.verbose) say(kFatLine, map.name, FileText{r.name});
        const std::uint16_t headerLength = getU16(tre->header.data());
        if (headerLength >= 117 && settings.verbose) say(kTreLine, map.mapId, newId);
        if (headerLength > 119) {
            std::vector<std::uint8_t> id(4);
            putU32(id.data(), newId);
            plan.writes.push_back({tre->firstFat, tre->headerOffset + 0x74u, id});
        }
        plan.table.push_back(r);
    }
}

void warnRepeated(const Plan& plan) {
    std::vector<MapIdRow> rows;
    for (const Renumbered& r : plan.table) rows.push_back({r.oldId, 0, nullptr, ""});
    sortMapIds(rows);
}

// The writes: FAT names of every renamed map, then the subfile ranges.
bool apply(InputFile& input, Plan& plan) {
    for (const Renumbered& r : plan.table) {
        MapEntry& map = input.maps[r.map];
        for (std::uint32_t i = 0; i < map.subfileCount; ++i)
            if (!patchFatName(input, input.subfiles[map.firstSubfile + i].firstFat, r.name)) return false;
        std::memcpy(map.name.c, r.name, 8);
        for (std::uint32_t i = 0; i < map.subfileCount; ++i) std::memcpy(input.subfiles[map.firstSubfile + i].name.c, r.name, 8);
    }
    for (const PendingWrite& w : plan.writes)
        if (!patchSubfile(input, w.firstFat, w.offset, w.bytes.data(), w.bytes.size())) return false;
    // What later edits of the run read: the catalogue and the maps' IDs.
    if (plan.catalogueChanged) std::copy(plan.catalogue.begin(), plan.catalogue.end(), input.mpsData.begin());
    for (const Renumbered& r : plan.table) {
        MapEntry& map = input.maps[r.map];
        map.mapId = r.newId;
        if (TreInfo* tre = map.treSubfile >= 0 && input.subfiles[map.treSubfile].tre ? &*input.subfiles[map.treSubfile].tre : nullptr;
            tre && getU16(tre->header.data()) > 119) {
            tre->mapId = r.newId;
            putU32(tre->header.data() + 0x74, r.newId);
        }
    }
    return true;
}

}  // namespace

bool renumberMaps(InputFile& input, const EditSettings& settings, std::uint32_t& next) {
    if (!input.isContainer()) return true;
    if (!openContainer(input, OpenMode::update)) return false;
    Plan plan;
    planMaps(input, settings, next, plan);
    if (plan.table.empty()) return closePatched(input);
    warnRepeated(plan);
    std::stable_sort(plan.table.begin(), plan.table.end(), [](const Renumbered& a, const Renumbered& b) {
        return std::pair{a.oldId, a.family} < std::pair{b.oldId, b.family};
    });
    bool ok = true;
    for (const Subfile& s : input.subfiles) {
        if (!ok) break;
        if (s.type == typeMdr) ok = planCompanion(input, s, kMdr, settings, plan);
        else if (s.type == typeTrf) ok = planCompanion(input, s, kTrf, settings, plan);
        else if (s.type == typeMd2) ok = planCompanion(input, s, kMd2, settings, plan);
        else if (s.type == typeMmr && s.aux && s.aux->mapRef && lookUp(plan, s.aux->mapRef, 0)) warn(kMmr, input.path);
    }
    if (ok) planCatalogue(input, settings, plan);
    // Every range and every renamed chain is checked before the first byte
    // is written.
    bool sound = true;
    for (const PendingWrite& w : plan.writes) sound = sound && subfileRangePatchable(input, w.firstFat, w.offset, w.bytes.size());
    for (const Renumbered& r : plan.table) {
        const MapEntry& map = input.maps[r.map];
        for (std::uint32_t i = 0; i < map.subfileCount; ++i)
            sound = sound && subfileRangePatchable(input, input.subfiles[map.firstSubfile + i].firstFat, 0, 0);
    }
    if (ok && !sound) {
        reportWriteStructureError(input.path);
        ok = false;
    }
    ok = ok && apply(input, plan);
    return closePatched(input) && ok;
}
