#include "mapset/preview.h"

#include <cstdio>

#include "common/bytes.h"
#include "common/date.h"
#include "common/message.h"
#include "img/format/flat_dem.h"
#include "img/format/mp_text.h"

namespace {

constexpr Msg kWriteFile{"Write file %s\n", "Zapis pliku %s\n"};

std::string formatted(const char* format, std::uint32_t value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

void appendHeader(std::string& out, const MapsetInfo& info) {
    appendMpLine(out, "[IMG ID]");
    appendMpLine(out, formatted(";ID=I%07X", info.previewNumber));
    appendMpLine(out, formatted("ID=%08u", info.previewNumber));
    appendMpLine(out, "Name=Preview Map");
    appendMpLine(out, ";LBLcoding=9");
    appendMpLine(out, formatted(";CodePage=%u", info.codePage));
    appendMpLine(out, "Preprocess=N");
    appendMpLine(out, "Preview=Y");
    appendMpLine(out, "TreSize=1024");
    appendMpLine(out, "TreMargin=0.0");
    appendMpLine(out, "RgnLimit=5000");
    appendMpLine(out, "Levels=2");
    appendMpLine(out, formatted("Level0=%u", info.topLevelBits));
    appendMpLine(out, formatted("Level1=%u", info.topLevelBits - 2u));
    appendMpLine(out, "Zoom0=0");
    appendMpLine(out, "Zoom1=1");
    appendMpLine(out, "[END-IMG ID]");
    appendMpLine(out, "");
}

std::string previewText(const MapsetSource& source, const MapsetSettings& settings, const MapsetInfo& info) {
    std::string out;
    appendHeader(out, info);
    const unsigned bits = info.topLevelBits;
    const int mapLimit = settings.limitPreview ? 2 : 0;
    const int mapsetLimit = settings.limitPreview ? 1 : 0;
    for (std::size_t f = 0; f < source.inputs.size(); ++f) {
        const InputFile& input = source.inputs[f];
        const InputSplit& split = source.splits[f];
        for (int m : input.mapList) {
            if (!inMapset(input, split, m)) continue;
            const MapBounds b = treBounds(*mapTre(input, input.maps[m]));
            const MapSplit& s = split.maps[m];
            const std::string label = "Label=" + mpText(s.headerText) + "~[0x1d]" + mpText(s.fileName);
            appendPolygon(out, "Type=0x4a", label, b.north, b.east, b.south, b.west, mapLimit, bits, settings.limits);
        }
    }
    const MapBounds& b = info.bounds;
    appendPoint(out, "Type=0x0b00", "Label=Cartolux Preview", b.south, b.west, mapsetLimit != 0, bits,
                settings.limits);
    appendPolygon(out, "Type=0x4b", "Background=Y", b.north, b.east, b.south, b.west, mapsetLimit, bits,
                  settings.limits);
    return out;
}

// The preview map's elevation: flat, one level, over the mapset's bounds.
bool writePreviewDem(const OutputPlace& place, const MapsetInfo& info) {
    std::uint8_t date[7];
    putU16(date, currentDate.year);
    date[2] = currentDate.month;
    date[3] = currentDate.day;
    date[4] = currentDate.hour;
    date[5] = currentDate.minute;
    date[6] = currentDate.second;
    std::vector<std::uint8_t> dem;
    const MapBounds& b = info.bounds;
    buildFlatDem(dem, b.north, b.east, b.south, b.west, date, 1);
    const std::string name = formatted("%08u.DEM", info.previewNumber);
    return writeWholeOutput(place, name, dem.data(), dem.size());
}

}  // namespace

std::uint32_t previewMapNumber(const MapsetInfo& info) {
    const std::uint32_t high = info.highestMapId;
    const std::uint32_t number = high | 0x7FF;
    if (info.numberedMaps && high - info.lowestMapId < 2047 && high < number && number <= 99999999) return number;
    return 99999999;
}

bool writePreview(const MapsetSource& source, const MapsetSettings& settings, const OutputPlace& place,
                  MapsetInfo& info) {
    const std::string name = settings.baseName + ".mp";
    std::string full;
    FileHandle created = createOutput(place, name, CreateMode::replace, full);
    if (!created) return false;
    PendingOutput out(std::move(created), std::move(full));
    say(kWriteFile, name);
    info.previewNumber = previewMapNumber(info);
    const std::string text = previewText(source, settings, info);
    if (!out.finish(writeChecked(out.file(), out.path(), 0, text.data(), text.size()))) return false;
    if (info.someWithDem && !info.someWithoutDem) return writePreviewDem(place, info);
    return true;
}
