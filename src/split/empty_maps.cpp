#include <cstring>

#include "common/file_names.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "common/text.h"
#include "img/format/mp_text.h"
#include "split/split.h"

namespace {

constexpr Msg kWriting{"Writing: %s\n", "Zapis: %s\n"};

// The MP source of an empty stand-in map, named after the map.
void writeEmptyMap(SplitState& state, const TreInfo& tre, std::uint32_t codePage, const FixedText<8>& name,
                   std::uint32_t mapId) {
    EmptyMapSource source;
    source.name8.assign(name.c, 8);
    // The TRE map ID, or the one the map's name gives when the TRE has none.
    source.mapId = tre.mapId ? tre.mapId : mapId;
    source.codePage = codePage;
    source.levels = tre.levels;
    treRawBounds(tre, source.north, source.east, source.south, source.west);
    const std::string text = emptyMapMp(source);
    if (text.empty()) return;
    const std::string fileName = safeFileName(trimmedField(name.field())) + ".mp";
    say(kWriting, FileText{fileName});
    if (!writeWholeOutput(state.place, fileName, text.data(), text.size())) state.failed = true;
}

}  // namespace

bool writeEmptyMaps(InputFile& input, SplitState& state) {
    if (input.inputKind != noKind) {
        const Subfile& s = input.single;
        if ((s.type == typeTre || s.type == typeGmp) && s.tre) {
            FixedText<8> name;
            std::memcpy(name.c, s.name.c, 8);
            writeEmptyMap(state, *s.tre, 0, name, mapIdFromName(name.c));
        }
        return true;
    }
    for (int m : input.mapList) {
        const MapEntry& map = input.maps[m];
        if (const TreInfo* tre = mapTre(input, map)) writeEmptyMap(state, *tre, map.codePage, map.name, map.mapId);
    }
    return true;
}
