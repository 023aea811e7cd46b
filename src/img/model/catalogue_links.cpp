#include "img/model/catalogue_links.h"

#include <cstdio>
#include <cstring>

#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/subfile_io.h"

namespace {

constexpr Msg kMultipleMps{"Multiple data MPS, ignored.\n", "Powielenie danych MPS, ignorowane.\n"};
constexpr Msg kNoRecords{"No MPS records, file %s.\n", "Brak rekordów MPS w pliku %s.\n"};
constexpr Msg kWrongSize{"Wrong MPS records size, file %s.\n", "Zła długość rekordów MPS w pliku %s.\n"};

constexpr std::uint32_t kMaxPad = 256;
constexpr std::uint32_t kSpare = 512;

// Whether a formatted number is exactly the 8-character map name.
bool nameIs(const MapEntry& map, const char* text) {
    return std::strlen(text) == 8 && std::memcmp(map.name.c, text, 8) == 0;
}

void link(InputFile& input, MapEntry& map, std::size_t record) {
    map.mps = static_cast<int>(record);
    input.mpsRecords[record].used = 1;
    if (map.mapId == 0) map.mapId = mpsMapId(input.mpsData, input.mpsRecords[record]);
}

// The spare bytes after the catalogue's last data byte, inside its last block.
bool readPad(InputFile& input, const Subfile& s) {
    const ImgHeader& img = input.img;
    std::uint32_t pad = (img.blockSize - input.mpsLength % img.blockSize) % img.blockSize;
    if (pad > kMaxPad) pad = kMaxPad;
    input.mpsPad = 0;
    if (pad == 0) return true;
    std::uint64_t position;
    if (!subfilePosition(img, s.firstFat, input.mpsLength, position)) return true;
    // A file that ends early gives only the bytes it has, so an edit never writes past its end.
    if (position >= input.size) return true;
    if (pad > input.size - position) pad = static_cast<std::uint32_t>(input.size - position);
    if (!readAt(input, input.mpsData.data() + input.mpsLength, position, pad)) return false;
    input.mpsPad = pad;
    return true;
}

}  // namespace

bool readMpsData(InputFile& input) {
    const Subfile* catalogue = nullptr;
    for (std::size_t i = 0; i < input.mapList.size(); ++i) {
        const MapEntry& map = input.maps[input.mapList[i]];
        if (map.kind != mpsCatalogue) continue;
        if (catalogue) {
            say(kMultipleMps);
            continue;
        }
        input.mpsMap = static_cast<int>(i);
        catalogue = &input.subfiles[map.firstSubfile];
    }
    if (!catalogue) return true;
    input.mpsLength = static_cast<std::uint32_t>(catalogue->size);
    if (input.mpsLength == 0) return true;
    // The catalogue must fit in the file before it is given memory.
    if (input.mpsLength > input.size) {
        reportReadStructureError(input.path);
        return false;
    }
    if (!allocChecked(input.mpsData, std::size_t{input.mpsLength} + kSpare)) return false;
    if (!readSubfileBytes(input, catalogue->firstFat, 0, input.mpsLength, input.mpsData.data())) return false;
    return readPad(input, *catalogue);
}

bool parseMps(InputFile& input, bool verbose) {
    if (input.mpsLength < 3 || input.mpsData.empty()) return true;
    bool exact = false;
    std::vector<MpsRecord> records = splitMpsRecords(input.mpsData, input.mpsLength, exact);
    if (records.empty()) {
        if (verbose) say(kNoRecords, input.path);
        return true;
    }
    if (!exact && verbose) say(kWrongSize, input.path);
    input.mpsRecords = std::move(records);
    std::vector<MpsRecord>& recs = input.mpsRecords;

    auto unlinked = [&](int m) -> MapEntry* {
        MapEntry& map = input.maps[m];
        return map.mps < 0 ? &map : nullptr;
    };

    for (std::size_t r = 0; r < recs.size(); ++r) {
        if (!linkable(recs[r])) continue;
        std::uint32_t id = mpsMapId(input.mpsData, recs[r]);
        if (id == 0) continue;
        for (int m : input.mapList)
            if (MapEntry* map = unlinked(m); map && map->mapId == id) {
                link(input, *map, r);
                break;
            }
    }

    for (std::size_t r = 0; r < recs.size(); ++r) {
        if (!linkable(recs[r]) || recs[r].used) continue;
        std::uint32_t id = mpsMapId(input.mpsData, recs[r]);
        char hexName[16], decName[16];
        std::snprintf(hexName, sizeof hexName, "I%07X", id);
        std::snprintf(decName, sizeof decName, "%08u", id);
        for (int m : input.mapList)
            if (MapEntry* map = unlinked(m); map && (nameIs(*map, hexName) || (id <= kMaxMapId && nameIs(*map, decName)))) {
                link(input, *map, r);
                break;
            }
    }

    // Each TRE subfile in FAT order takes the next 'L' record, linked or not.
    std::size_t r = 0;
    for (const SubfileIndexEntry& slot : input.subfileIndex) {
        if (slot.subfile < 0 || input.subfiles[slot.subfile].type != typeTre) continue;
        while (r < recs.size() && !linkable(recs[r])) ++r;
        if (r >= recs.size()) break;
        int m = input.subfiles[slot.subfile].map;
        if (m >= 0 && input.maps[m].mps < 0 && !recs[r].used) link(input, input.maps[m], r);
        ++r;
    }
    return true;
}
