#include "edit/map_filter.h"

#include "img/format/catalogue.h"

void mapFamily(const InputFile& input, const MapEntry& map, std::uint32_t& familyId, std::uint32_t& productId) {
    familyId = productId = 0;
    std::uint16_t fid = 0, pid = 0;
    if (map.mps >= 0 && static_cast<std::size_t>(map.mps) < input.mpsRecords.size() &&
        recordIds(input.mpsData, input.mpsRecords[map.mps], fid, pid)) {
        familyId = fid;
        productId = pid;
    }
}

bool mapPassesFilter(const InputFile& input, const MapEntry& map, const EditSettings& settings) {
    if (settings.familyId < 0 && settings.productId < 0) return true;
    std::uint32_t fid = 0, pid = 0;
    mapFamily(input, map, fid, pid);
    if (settings.familyId > 0 && fid != settings.familyId) return false;
    return !(settings.productId > 0 && pid != settings.productId);
}
