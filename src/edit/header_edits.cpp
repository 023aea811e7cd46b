#include "edit/header_edits.h"

#include <cstring>

#include "common/message.h"
#include "edit/map_filter.h"
#include "img/container/patch.h"

namespace {

constexpr Msg kRefreshDate{"Refresh header date, file %s.\n", "Aktualizacja datay nagłówka, plik %s.\n"};
constexpr Msg kVersion{"Header map version %u.%02u, Ms %u, file %s.\n",
                       "Wersja mapy w nagłówku %u.%02u, Ms %u, plik %s.\n"};
constexpr Msg kHeaderName{"File %s write mapset name [%.50s] into header.\n",
                          "Plik %s zapis nazwy mapsetu [%.50s] w nagłówku.\n"};
constexpr Msg kPriority{"  Map %s priority %2u %c\n", "  Mapa %s priorytet %2u %c\n"};

constexpr std::size_t kDisplayFlags = 0x3F;  // bit 1: transparent; 0x40 the priority
constexpr std::size_t kDisplayBytes = 7;     // 0x3F-0x45 are written back together

// Writes the header bytes [from, to) when they differ from the file's.
bool patchChanged(InputFile& input, const std::vector<std::uint8_t>& wanted, std::size_t from, std::size_t to) {
    if (std::memcmp(wanted.data() + from, input.img.headerBytes.data() + from, to - from) == 0) return true;
    return patchHeader(input, from, wanted.data() + from, to - from);
}

// Applies the priority and transparency to the display bytes of a TRE
// header; true when a byte changes.
bool applyDisplay(std::uint8_t* bytes, const EditSettings& s) {
    const std::uint8_t flags = bytes[0], priority = bytes[1];
    if (s.priority != 255) bytes[1] = s.priority;
    if (s.transparency == 1) bytes[0] |= 0x02;
    if (s.transparency == 255) bytes[0] &= static_cast<std::uint8_t>(~0x02);
    return bytes[0] != flags || bytes[1] != priority;
}

void sayDisplay(const std::uint8_t* bytes, FileText name) {
    say(kPriority, name, bytes[1], (bytes[0] & 0x02) ? 'T' : 'N');
}

}  // namespace

bool editHeader(InputFile& input, const EditSettings& s) {
    if (!input.isContainer() || input.img.headerBytes.size() < 0x200) return true;
    std::vector<std::uint8_t> h(input.img.headerBytes.begin(), input.img.headerBytes.begin() + 0x50);
    if (s.refreshDate) putHeaderDate(h.data());
    if (s.versionMode & 1) h[0x08] = s.versionMajor;
    if (s.versionMode & 2) h[0x09] = s.versionMinor;
    if (s.versionMode & 4) h[0x0E] = s.mapsourceFlag;
    const bool changed = s.refreshDate || std::memcmp(h.data(), input.img.headerBytes.data(), h.size()) != 0;
    if (!changed) return true;
    if (!openContainer(input, OpenMode::update)) return false;
    bool ok = patchChanged(input, h, 0x08, 0x0F) && patchChanged(input, h, 0x39, 0x40);
    ok = closePatched(input) && ok;
    if (!ok) return false;
    if (s.refreshDate) say(kRefreshDate, input.path);
    if (s.versionMode) {
        const std::vector<std::uint8_t>& now = input.img.headerBytes;
        say(kVersion, now[0x08], now[0x09], now[0x0E], input.path);
    }
    return true;
}

bool writeHeaderMapsetName(InputFile& input, const EditSettings& s) {
    if (!input.isContainer() || !s.mapsetName || input.img.headerBytes.size() < 0x200) return true;
    std::vector<std::uint8_t> h(input.img.headerBytes.begin(), input.img.headerBytes.begin() + 0x83);
    putHeaderDescription(h.data(), *s.mapsetName);
    if (!openContainer(input, OpenMode::update)) return false;
    bool ok = patchChanged(input, h, 0x49, 0x5D) && patchChanged(input, h, 0x65, 0x83);
    ok = closePatched(input) && ok;
    if (ok) say(kHeaderName, input.path, *s.mapsetName);
    return ok;
}

bool setPriority(InputFile& input, const EditSettings& s) {
    if (!input.isContainer()) return true;
    if (!openContainer(input, OpenMode::update)) return false;
    bool ok = true;
    for (int m : input.mapList) {
        const MapEntry& map = input.maps[m];
        if (map.treSubfile < 0 || !input.subfiles[map.treSubfile].tre || !mapPassesFilter(input, map, s)) continue;
        TreInfo& tre = *input.subfiles[map.treSubfile].tre;
        std::uint8_t bytes[kDisplayBytes];
        std::memcpy(bytes, tre.header.data() + kDisplayFlags, kDisplayBytes);
        const bool changed = applyDisplay(bytes, s);
        if (s.verbose) sayDisplay(bytes, map.name.shown());
        if (changed && !patchSubfile(input, tre.firstFat, tre.headerOffset + kDisplayFlags, bytes, kDisplayBytes)) {
            ok = false;
            break;
        }
        std::memcpy(tre.header.data() + kDisplayFlags, bytes, kDisplayBytes);
    }
    return closePatched(input) && ok;
}

bool setPriorityStandalone(InputFile& input, const EditSettings& s) {
    Subfile& single = input.single;
    if (input.isContainer() || (single.type != typeTre && single.type != typeGmp) || !single.tre) return true;
    TreInfo& tre = *single.tre;
    std::uint8_t bytes[kDisplayBytes];
    std::memcpy(bytes, tre.header.data() + kDisplayFlags, kDisplayBytes);
    const bool changed = applyDisplay(bytes, s);
    if (s.verbose) sayDisplay(bytes, FileText{input.path});
    if (!changed) return true;
    if (!openContainer(input, OpenMode::update)) return false;
    bool ok = patchStandalone(input, tre.headerOffset + kDisplayFlags, bytes, kDisplayBytes);
    ok = closePatched(input) && ok;
    if (ok) std::memcpy(tre.header.data() + kDisplayFlags, bytes, kDisplayBytes);
    return ok;
}
