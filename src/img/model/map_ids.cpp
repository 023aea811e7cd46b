#include "img/model/map_ids.h"

#include <algorithm>

#include "common/message.h"

namespace {

constexpr Msg kRepeatedHead{"\n== Warning: repeated map ID number.\n== Map ID %u (%X)",
                            "\n== Ostrzeżenie: powielenie numerów ID map.\n== Mapa ID %u (%X)"};
constexpr Msg kRepeatedFile{", file %s", ", plik %s"};
constexpr Msg kRepeatedEnd{".\n", ".\n"};

}  // namespace

void sortMapIds(std::vector<MapIdRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const MapIdRow& a, const MapIdRow& b) { return a.id < b.id; });
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].id != rows[i - 1].id) continue;
        warn(kRepeatedHead, rows[i].id, rows[i].id);
        if (!rows[i - 1].path.empty()) say(kRepeatedFile, rows[i - 1].path);
        if (!rows[i].path.empty() && rows[i].owner != rows[i - 1].owner) say(kRepeatedFile, rows[i].path);
        sayLine(kRepeatedEnd);
    }
}
