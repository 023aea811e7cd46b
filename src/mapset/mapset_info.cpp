#include "mapset/mapset_info.h"

#include <algorithm>

#include "common/message.h"
#include "common/text.h"
#include "img/format/catalogue.h"

namespace {

constexpr Msg kMultipleCodePages{"Multiple Code Pages, using %u.\n", "Różne strony kodowe, wybrane %u.\n"};
constexpr Msg kMultipleProductsWarning{"== Warning: Multiple products in img.\n",
                                       "== Ostrzeżenie: wiele mapsetów w pliku img.\n"};
constexpr Msg kMultipleProducts{"Multiple products in img, creating TDB aborted, try opion -f.\n",
                                "Wiele mapsetów w pliku img, tworzenie TDB porzucone, spróbuj z opcja -f.\n"};
constexpr Msg kFidMissing{"FID missing, creating TDB aborted.\n", "Brak FID, tworzenie TDB porzucone.\n"};
constexpr Msg kNameMissing{"Mapset name missing, creating TDB aborted.\n",
                           "Brak nazwy zestawu map, tworzenie TDB porzucone.\n"};

// Names of 498 bytes or more are not taken.
constexpr std::size_t kMaxName = 497;

struct CatalogueRecord {
    const InputFile* input = nullptr;
    const MpsRecord* record = nullptr;
};

struct CodePageCount {
    std::uint32_t codePage;
    std::uint32_t count;
};

// The NUL-terminated text from `start` of a record, when its NUL lies
// within the record.
bool recordText(const CatalogueRecord& r, std::size_t start, std::string& out) {
    const std::uint8_t* bytes = recordBytes(r.input->mpsData, *r.record);
    if (!bytes || r.record->length <= start) return false;
    const std::int64_t n = terminatedLength(bytes, start, r.record->length);
    if (n < 0) return false;
    out.assign(reinterpret_cast<const char*>(bytes + start), static_cast<std::size_t>(n));
    return true;
}

void addMap(const InputFile& input, const MapEntry& map, bool flatDem, MapsetInfo& info) {
    const TreInfo& tre = *mapTre(input, map);
    const MapBounds b = treBounds(tre);
    info.bounds.north = std::max(info.bounds.north, b.north);
    info.bounds.east = std::max(info.bounds.east, b.east);
    info.bounds.south = std::min(info.bounds.south, b.south);
    info.bounds.west = std::min(info.bounds.west, b.west);
    if (map.mapId) {
        ++info.numberedMaps;
        info.lowestMapId = std::min(info.lowestMapId, map.mapId);
        info.highestMapId = std::max(info.highestMapId, map.mapId);
    }
    for (std::uint32_t i = 0; i < map.subfileCount; ++i) {
        const SubfileType t = input.subfiles[map.firstSubfile + i].type;
        if (t == typeGmp) info.ntMap = true;
        if (t == typeNod || t == typeGmp) info.routing = true;
        if (t == typeSrt || t == typeDem || t == typeNet || t == typeNod || t == typeGmp) info.newFormat = true;
    }
    if (map.hasDem || flatDem) info.someWithDem = true;
    else info.someWithoutDem = true;
    if (tre.levels.size() >= 4) info.topLevelBits = std::min(info.topLevelBits, tre.levels[1]);
    for (std::size_t i = 0; i + 4 <= tre.levels.size(); i += 4)
        if (!(tre.levels[i] & 0x80)) {
            info.realLevelBits = std::min(info.realLevelBits, tre.levels[i + 1]);
            break;
        }
}

std::uint32_t chooseCodePage(const std::vector<CodePageCount>& tally) {
    if (tally.empty()) return 1252;
    const CodePageCount* best = &tally[0];
    for (const CodePageCount& c : tally)
        if (c.count > best->count) best = &c;
    if (tally.size() > 1) say(kMultipleCodePages, best->codePage);
    return best->codePage;
}

}  // namespace

bool inMapset(const InputFile& input, const InputSplit& split, std::size_t map) {
    return map < split.maps.size() && !split.maps[map].outOfArea && mapTre(input, input.maps[map]) != nullptr;
}

bool gatherMapsetInfo(const MapsetSource& source, const MapsetSettings& settings, MapsetInfo& info) {
    std::vector<CodePageCount> tally;
    CatalogueRecord firstProduct, firstMapset;
    std::uint32_t products = 0;
    for (std::size_t f = 0; f < source.inputs.size(); ++f) {
        const InputFile& input = source.inputs[f];
        const InputSplit& split = source.splits[f];
        info.mapCount += static_cast<std::uint32_t>(input.maps.size());
        for (int m : input.mapList)
            if (inMapset(input, split, m)) addMap(input, input.maps[m], split.maps[m].flatDemSize != 0, info);
        for (const MpsRecord& r : input.mpsRecords) {
            if (r.type == 'F' && products++ == 0) firstProduct = {&input, &r};
            if (r.type == 'V' && !firstMapset.record) firstMapset = {&input, &r};
        }
        // Every map counts: the most frequent code page wins.
        for (int m : input.mapList) {
            const std::uint32_t cp = input.maps[m].codePage;
            if (!cp) continue;
            auto it = std::find_if(tally.begin(), tally.end(), [cp](const CodePageCount& c) { return c.codePage == cp; });
            if (it != tally.end()) ++it->count;
            else if (tally.size() < 10) tally.push_back({cp, 1});
        }
    }
    info.codePage = settings.codePage ? settings.codePage : chooseCodePage(tally);
    info.topLevelBits = std::clamp<std::uint8_t>(info.topLevelBits, 8, 18);

    if (settings.familyId || settings.productId) {
        info.familyId = settings.familyId;
        info.productId = settings.productId;
        if (products > 1) warn(kMultipleProductsWarning);
    } else if (products <= 1) {
        std::uint16_t fid = 0, pid = 0;
        if (firstProduct.record && recordIds(firstProduct.input->mpsData, *firstProduct.record, fid, pid)) {
            info.familyId = fid;
            info.productId = pid;
        }
    } else {
        say(kMultipleProducts);
        return false;
    }
    if (!info.familyId && !info.productId) {
        say(kFidMissing);
        return false;
    }

    std::string name;
    if (settings.mapsetName && settings.mapsetName->size() <= kMaxName) name = *settings.mapsetName;
    // The catalogue's names, under the same limit as a -m name.
    if (name.empty() && products == 1 && firstProduct.record->length > 8 && recordText(firstProduct, 7, name) &&
        name.size() > kMaxName)
        name.clear();
    if (name.empty() && firstMapset.record && firstMapset.record->length > 4 && recordText(firstMapset, 3, name) &&
        name.size() > kMaxName)
        name.clear();
    if (name.empty()) {
        say(kNameMissing);
        return false;
    }
    info.name = name;
    if (settings.marine) {
        info.marine = true;
        info.newFormat = true;
    }
    return true;
}
