#include "info/info_details.h"

#include <algorithm>
#include <array>

#include "common/bytes.h"
#include "img/format/map_units.h"

namespace {

constexpr Msg kWordPriority{"priority", "priorytet"};
constexpr Msg kWordParameters{"parameters", "parametry"};
constexpr Msg kWordTransparent{"transparent", "transparentna"};
constexpr Msg kWordSize{"size", "rozmiar"};
constexpr Msg kWordBitmaps{"Bitmaps", "Bitmapy"};
constexpr Msg kWordDemLayers{"DEM layers", "warstwy DEM"};

constexpr Msg kGmpParts{"\n\tGMP: ", "\n\tGMP: "};
constexpr Msg kGmpPart{" %s", " %s"};

constexpr Msg kTreMap{"\n\t%s %x (%u)", "\n\t%s %x (%u)"};
constexpr Msg kTreDate{"\n\t%s %s", "\n\t%s %s"};
constexpr Msg kTreParameters{"\n\t%s %u, %s %u %u %u %u", "\n\t%s %u, %s %u %u %u %u"};
constexpr Msg kTreTransparent{", %s", ", %s"};
constexpr Msg kTreLevels{"\n\t%s [%u", "\n\t%s [%u"};
constexpr Msg kTreNextLevel{",%u", ",%u"};
constexpr Msg kTreZooms{"], %s [%x", "], %s [%x"};
constexpr Msg kTreNextZoom{",%x", ",%x"};
constexpr Msg kTreLevelsEnd{"]", "]"};
constexpr Msg kTreNoLevels{"\n\t%s [], %s []", "\n\t%s [], %s []"};
constexpr Msg kTreBounds{"\n\tN: %3.6lf, S: %3.6lf, W: %3.6lf, E: %3.6lf", "\n\tN: %3.6lf, S: %3.6lf, W: %3.6lf, E: %3.6lf"};
constexpr Msg kTreNotice{"\n\t%s", "\n\t%s"};

constexpr Msg kLblCodePage{"\n\t%s %4u", "\n\t%s %4u"};
constexpr Msg kLblSort{", %s", ", %s"};
constexpr Msg kLblBitmaps{"\n\t%s %u, %s %u (%u)", "\n\t%s %u, %s %u (%u)"};

constexpr Msg kDemLayers{"\n\t%s: %u, N: %3.6lf, W: %3.6lf", "\n\t%s: %u, N: %3.6lf, W: %3.6lf"};

constexpr Msg kTypLine{"\n\t%s %s, %s %4u, %s %u, %s %u", "\n\t%s %s, %s %4u, %s %u, %s %u"};
constexpr Msg kTrfLine{"\n\t%s %s, %s %4u", "\n\t%s %s, %s %4u"};
constexpr Msg kMmrMap{"\n\t%s %x (%u)", "\n\t%s %x (%u)"};
constexpr Msg kMmrText{"\n\t%s %4u, %s", "\n\t%s %4u, %s"};
constexpr Msg kMmrCodePage{"\n\t%s %4u", "\n\t%s %4u"};
constexpr Msg kMd2Date{"\n\t%s %s", "\n\t%s %s"};
constexpr Msg kMd2Text{"\n\t%s", "\n\t%s"};

// The common header date of a subfile sits at 0x0E.
constexpr std::uint64_t kCommonDate = 0x0E;

// A notice longer than this is printed in pieces.
constexpr std::size_t kNoticePiece = 198;

// Texts of the MMR and MD2 headers end at a zero byte and show lower
// control bytes as blanks, as they were always listed.
std::string blankedText(ListedBytes bytes, std::uint64_t start, std::uint64_t limit) {
    std::string out;
    for (std::uint64_t i = start; i < bytes.size() && i - start < limit; ++i) {
        std::uint8_t c = bytes[i];
        if (c == 0) break;
        out += c < 0x20 ? ' ' : shownByte(c);
    }
    return out;
}

std::uint32_t u24At(ListedBytes bytes, std::uint64_t at) {
    return byteAt(bytes, at) | (byteAt(bytes, at + 1) << 8) | (std::uint32_t{byteAt(bytes, at + 2)} << 16);
}

void printGmpParts(const std::array<std::uint32_t, gmpPartCount>& parts) {
    static const char* const kPartNames[gmpPartCount] = {"TRE", "RGN", "LBL", "NET", "NOD", "DEM"};
    say(kGmpParts);
    for (int i = 0; i < gmpPartCount; ++i)
        if (parts[i] != 0) say(kGmpPart, kPartNames[i]);
}

void printLevels(const TreInfo& tre) {
    ListedBytes levels(tre.levels);
    std::uint64_t count = std::min<std::uint64_t>(tre.levelsSize, levels.size()) / 4;
    if (count == 0) {
        say(kTreNoLevels, "levels", "zoom");
        return;
    }
    say(kTreLevels, "levels", levels[1]);
    for (std::uint64_t i = 1; i < count; ++i) say(kTreNextLevel, levels[4 * i + 1]);
    say(kTreZooms, "zoom", levels[0]);
    for (std::uint64_t i = 1; i < count; ++i) say(kTreNextZoom, levels[4 * i]);
    say(kTreLevelsEnd);
}

// The free text between the header's own length and the first data section,
// split at zero bytes. The byte just before the data is never shown.
void printNotices(const TreInfo& tre) {
    ListedBytes header(tre.header);
    const std::int64_t end = std::min<std::int64_t>(std::int64_t{tre.dataStart} - 1,
                                                    static_cast<std::int64_t>(header.size()));
    std::string text;
    auto flush = [&text] {
        if (!text.empty()) say(kTreNotice, text);
        text.clear();
    };
    for (std::int64_t at = u16At(header, 0); at < end; ++at) {
        std::uint8_t c = header[static_cast<std::size_t>(at)];
        if (c == 0) {
            flush();
            continue;
        }
        text += shownByte(c);
        if (text.size() == kNoticePiece) {
            // A long notice takes one more byte into this piece.
            if (at + 1 < end) {
                ++at;
                std::uint8_t next = header[static_cast<std::size_t>(at)];
                if (next != 0) text += shownByte(next);
            }
            flush();
        }
    }
    flush();
}

void printTre(const TreInfo& tre) {
    ListedBytes h(tre.header);
    if (u16At(h, 0) > 119) say(kTreMap, listingWord(kWordMap), tre.mapId, tre.mapId);
    say(kTreDate, listingWord(kWordDate), formatStoredDate(dateAt(h, kCommonDate)));
    const std::uint8_t flags = byteAt(h, 0x3F);
    say(kTreParameters, listingWord(kWordPriority), byteAt(h, 0x40), listingWord(kWordParameters), byteAt(h, 0x43),
        byteAt(h, 0x44), byteAt(h, 0x45), flags);
    if (flags & 2) say(kTreTransparent, listingWord(kWordTransparent));
    printLevels(tre);
    say(kTreBounds, northEastDegrees(u24At(h, 0x15)), southWestDegrees(u24At(h, 0x1B)), southWestDegrees(u24At(h, 0x1E)),
        northEastDegrees(u24At(h, 0x18)));
    printNotices(tre);
}

void printLbl(const LblInfo& lbl) {
    say(kLblCodePage, "CP", lbl.codePage);
    if (!lbl.sortName.empty()) {
        ListedBytes sort(reinterpret_cast<const std::uint8_t*>(lbl.sortName.data()), lbl.sortName.size());
        say(kLblSort, fileText(sort, 0, sort.size()));
    }
    if (lbl.section184Length != 0 && lbl.section184RecordSize != 0 && lbl.section192Length != 0)
        say(kLblBitmaps, listingWord(kWordBitmaps), lbl.section184Length / lbl.section184RecordSize,
            listingWord(kWordSize), lbl.section192Length, lbl.section184RecordSize);
}

void printDem(const DemInfo& dem) {
    if (dem.levelCount == 0 || dem.levelRecordSize <= 47) return;
    ListedBytes level(dem.firstLevel);
    say(kDemLayers, listingWord(kWordDemLayers), dem.levelCount, demDegrees(static_cast<std::int32_t>(u32At(level, 44))),
        demDegrees(static_cast<std::int32_t>(u32At(level, 40))));
}

void printAux(const AuxInfo& aux) {
    ListedBytes h(aux.header);
    switch (aux.type) {
    case typeTyp:
        say(kTypLine, listingWord(kWordDate), formatStoredDate(dateAt(h, kCommonDate)), "CP", aux.codePage, "PID",
            aux.pid, "FID", aux.fid);
        break;
    case typeTrf:
        say(kTrfLine, listingWord(kWordDate), formatStoredDate(dateAt(h, kCommonDate)), "CP", aux.codePage);
        break;
    case typeMmr: {
        if (aux.mapRef != 0) say(kMmrMap, listingWord(kWordMap), aux.mapRef, aux.mapRef);
        std::string text = blankedText(h, 0x0E, 19);
        if (text.empty()) say(kMmrCodePage, "CP", aux.codePage);
        else say(kMmrText, "CP", aux.codePage, text);
        break;
    }
    case typeMd2: {
        say(kMd2Date, listingWord(kWordDate), formatStoredDate(dateAt(h, 0x04)));
        std::string text = blankedText(h, 0x5B, 13);
        if (!text.empty()) say(kMd2Text, text);
        break;
    }
    default:
        break;
    }
}

}  // namespace

std::uint8_t byteAt(ListedBytes bytes, std::uint64_t at) { return at < bytes.size() ? bytes[at] : 0; }

std::uint16_t u16At(ListedBytes bytes, std::uint64_t at) {
    return at < bytes.size() && bytes.size() - at >= 2 ? getU16(bytes.data() + at) : 0;
}

std::uint32_t u32At(ListedBytes bytes, std::uint64_t at) {
    return at < bytes.size() && bytes.size() - at >= 4 ? getU32(bytes.data() + at) : 0;
}

StoredDate dateAt(ListedBytes bytes, std::uint64_t at) {
    StoredDate date;
    date.year = u16At(bytes, at);
    date.month = byteAt(bytes, at + 2);
    date.day = byteAt(bytes, at + 3);
    date.hour = byteAt(bytes, at + 4);
    date.minute = byteAt(bytes, at + 5);
    date.second = byteAt(bytes, at + 6);
    return date;
}

char shownByte(std::uint8_t c) { return c < 0x20 || c == 0x7F ? '.' : static_cast<char>(c); }

std::string fileText(ListedBytes bytes, std::uint64_t start, std::uint64_t limit) {
    std::string out;
    for (std::uint64_t i = start; i < bytes.size() && i - start < limit; ++i) {
        if (bytes[i] == 0) break;
        out += shownByte(bytes[i]);
    }
    return out;
}

std::string nameText(const char* name, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += shownByte(static_cast<std::uint8_t>(name[i]));
    return out;
}

void printSubfileDetails(const Subfile& subfile) {
    if (subfile.gmpParts) printGmpParts(*subfile.gmpParts);
    if (subfile.tre) printTre(*subfile.tre);
    if (subfile.lbl) printLbl(*subfile.lbl);
    if (subfile.dem) printDem(*subfile.dem);
    if (subfile.aux) printAux(*subfile.aux);
}
