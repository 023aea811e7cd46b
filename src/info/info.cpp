#include "info/info.h"

#include <algorithm>
#include <string>

#include "common/text.h"
#include "info/info_details.h"

namespace {

constexpr Msg kNewline{"\n", "\n"};
constexpr Msg kFile{"File:\t\t%s, length %llu\n", "Plik:\t\t%s, długość %llu\n"};

constexpr Msg kHeaderLabel{"Header:  ", "nagłówek:"};
constexpr Msg kMapsetLabel{"Mapset:  ", "zestaw:  "};
constexpr Msg kHeaderLine{"%-10s\t%s, %s, xor %02Xh, Ms %u\n", "%-10s\t%s, %s, xor %02Xh, Ms %u\n"};
constexpr Msg kMapsetLine{"%-10s\t%s\n", "%-10s\t%s\n"};
constexpr Msg kMapsetVersionLine{"%-10s\t%s (%u.%02u)\n", "%-10s\t%s (%u.%02u)\n"};
constexpr Msg kFatLine{"fat:\t\t%Xh - %Xh - %Xh, block %u\n", "fat:\t\t%Xh - %Xh - %Xh, blok %u\n"};
constexpr Msg kCountsLine{"maps:\t\t%u, sub-files %u\n", "mapy:\t\t%u, podzbiory %u\n"};

constexpr Msg kSubfileHeading{"\nSub-file         fat     length\n", "\npodzbiór         fat    długość\n"};
constexpr Msg kNoSubfileRow{" ???          %6Xh\n", " ???          %6Xh\n"};
constexpr Msg kSubfileRow{" %s %6Xh %9u", " %s %6Xh %9u"};
constexpr Msg kBadMark{" ???", " ???"};

constexpr Msg kMapHeading{"\nMap              length s-f  CP    prio  PID   FID  name\n",
                          "\nmapa            długość zbr  CP    prio  PID   FID  nazwa\n"};
constexpr Msg kMapRow{" %s %s %9u%3u", " %s %s %9u%3u"};
constexpr Msg kMapCodePage{"%6u", "%6u"};
constexpr Msg kMapNoCodePage{"      ", "      "};
constexpr Msg kMapPriority{"  %3u %c%c", "  %3u %c%c"};
constexpr Msg kMapNoPriority{"        ", "        "};
constexpr Msg kMapIds{"%4u %5u", "%4u %5u"};
constexpr Msg kMapSeries{"  %s", "  %s"};
constexpr Msg kMapMoreText{"  >%s", "  >%s"};

constexpr Msg kWordName{"name", "nazwa"};
constexpr Msg kDataLine{"\nData %s:  length %6u", "\nDane %s:  długość %6u"};
constexpr Msg kDataIds{", %s %u, %s %u", ", %s %u, %s %u"};
constexpr Msg kDataName{", %s %s", ", %s %s"};

constexpr Msg kMpsHeading{"\nData MPS\n", "\nrekordy MPS\n"};
constexpr Msg kMpsP{" P: %s %u\n", " P: %s %u\n"};
constexpr Msg kMpsPIds{" P: %s %u, %s %u\n", " P: %s %u, %s %u\n"};
constexpr Msg kMpsPFull{" P: %s %u, %s %u, (%X %X %X)\n", " P: %s %u, %s %u, (%X %X %X)\n"};
constexpr Msg kMpsF{" F: %s %u\n", " F: %s %u\n"};
constexpr Msg kMpsFIds{" F: %s %u, %s %u\n", " F: %s %u, %s %u\n"};
constexpr Msg kMpsFText{" F: %s %u, %s %u, %s\n", " F: %s %u, %s %u, %s\n"};
constexpr Msg kMpsV{" V: %s %u\n", " V: %s %u\n"};
constexpr Msg kMpsVText{" V: %s\n", " V: %s\n"};
constexpr Msg kMpsVTextByte{" V: %s (%X)\n", " V: %s (%X)\n"};
constexpr Msg kMpsM{" M: %s %u\n", " M: %s %u\n"};
constexpr Msg kMpsMMap{" M: %s %X\n", " M: %s %X\n"};
constexpr Msg kMpsMFull{" M: %s %X, %s [%u - %u], (%04X)\n", " M: %s %X, %s [%u - %u], (%04X)\n"};
constexpr Msg kMpsD{" D: %s %u\n", " D: %s %u\n"};
constexpr Msg kMpsDFull{" D: %s [%u - %u], (%04X)\n", " D: %s [%u - %u], (%04X)\n"};
constexpr Msg kMpsL{" L: %s %u\n", " L: %s %u\n"};
constexpr Msg kMpsLIds{" L: %s %u, %s %u", " L: %s %u, %s %u"};
constexpr Msg kMpsLMap{", %s %X, (%u %X)", ", %s %X, (%u %X)"};
constexpr Msg kMpsLTexts{",  %s  >%s", ",  %s  >%s"};
constexpr Msg kMpsLMoreText{"  >%s", "  >%s"};
constexpr Msg kMpsOther{" %c: %s %u\n", " %c: %s %u\n"};

// F and V texts were always shown through a buffer of 199 bytes.
constexpr std::uint64_t kRecordTextLimit = 198;

// A catalogue record as far as its bytes are held: its declared length
// decides what is listed, but a field past the held bytes reads as 0.
struct RecordView {
    ListedBytes bytes;
    std::uint32_t length = 0;
};

RecordView recordView(const InputFile& input, const MpsRecord& record) {
    RecordView view;
    view.length = record.length;
    const std::vector<std::uint8_t>& data = input.mpsData;
    if (record.offset < data.size()) {
        std::size_t held = static_cast<std::size_t>(std::min<std::uint64_t>(record.length, data.size() - record.offset));
        view.bytes = ListedBytes(data.data() + record.offset, held);
    }
    return view;
}

// The three texts of an 'L' record (series, description, area), each
// present only when not empty.
struct RecordTexts {
    MapRecordTexts texts;

    bool present(int i) const { return texts.present[i]; }
    std::string shown(int i) const {
        if (!texts.present[i]) return "-";
        ListedBytes raw(reinterpret_cast<const std::uint8_t*>(texts.text[i].data()), texts.text[i].size());
        return fileText(raw, 0, raw.size());
    }
    // The series name is not repeated when the area name is the same.
    bool firstIsThird() const { return texts.present[0] && texts.present[2] && texts.text[0] == texts.text[2]; }
};

RecordTexts recordTexts(const RecordView& record) {
    return {mapRecordTexts(record.bytes.data(), record.bytes.size(), record.length)};
}

void printHeaderLines(const InputFile& input, bool verbose) {
    ListedBytes h(input.img.headerBytes);
    say(kHeaderLine, listingWord(kHeaderLabel), formatStoredDate(dateAt(h, 0x39)), fileText(h, 0x10, 6),
        input.img.xorMask & 0xFF, byteAt(h, 0x0E));

    // The description is kept in two pieces; trailing blanks and padding go,
    // but the first character always stays.
    std::vector<std::uint8_t> name(50);
    for (std::size_t i = 0; i < 20; ++i) name[i] = byteAt(h, 0x49 + i);
    for (std::size_t i = 0; i < 30; ++i) name[20 + i] = byteAt(h, 0x65 + i);
    std::size_t length = 1;
    for (std::size_t i = 49; i >= 1; --i)
        if (name[i] > 32) {
            length = i + 1;
            break;
        }
    std::string text = fileText(name, 0, length);
    const std::uint8_t major = byteAt(h, 0x08), minor = byteAt(h, 0x09);
    if (major == 0 && minor == 0) say(kMapsetLine, listingWord(kMapsetLabel), text);
    else say(kMapsetVersionLine, listingWord(kMapsetLabel), text, major, minor);

    if (verbose) {
        say(kFatLine, input.img.fatStart, input.img.firstEntry, input.img.fatLength, input.img.blockSize);
        say(kCountsLine, input.maps.size(), input.subfiles.size());
    }
}

void printSubfileTable(const InputFile& input) {
    say(kSubfileHeading);
    for (const SubfileIndexEntry& entry : input.subfileIndex) {
        if (entry.subfile < 0 || static_cast<std::size_t>(entry.subfile) >= input.subfiles.size()) {
            say(kNoSubfileRow, entry.fatOffset);
            continue;
        }
        const Subfile& subfile = input.subfiles[static_cast<std::size_t>(entry.subfile)];
        say(kSubfileRow, nameText(subfile.name.c, 8) + " " + nameText(subfile.name.c + 8, 3), subfile.fatOffset, subfile.size);
        if (subfile.bad) say(kBadMark);
        printSubfileDetails(subfile);
        say(kNewline);
    }
}

void printMapRow(const InputFile& input, const MapEntry& map, bool verbose) {
    say(kMapRow, nameText(map.name.c, 8), mapKindName(map.kind), map.totalSize, map.subfileCount);
    if (map.badCount != 0) say(kBadMark);

    std::uint32_t pid = 0, fid = 0;
    const AuxInfo* aux = mapAux(input, map);
    if (map.kind == typData && aux) {
        pid = aux->pid;
        fid = aux->fid;
    }
    const TreInfo* tre = mapTre(input, map);
    const MpsRecord* record = nullptr;
    if (map.mps >= 0 && static_cast<std::size_t>(map.mps) < input.mpsRecords.size())
        record = &input.mpsRecords[static_cast<std::size_t>(map.mps)];
    const bool ids = pid != 0 || fid != 0;

    if (map.codePage != 0) say(kMapCodePage, map.codePage);
    else if (tre || record || ids) say(kMapNoCodePage);
    else {
        say(kNewline);
        return;
    }

    if (tre) {
        ListedBytes h(tre->header);
        say(kMapPriority, byteAt(h, 0x40), ' ', (byteAt(h, 0x3F) & 2) ? 'T' : ' ');
    } else if (record || ids) {
        say(kMapNoPriority);
    }

    if (!record) {
        if (ids) say(kMapIds, pid, fid);
        say(kNewline);
        return;
    }

    const RecordView view = recordView(input, *record);
    if (ids) say(kMapIds, pid, fid);
    else if (view.length > 6) say(kMapIds, u16At(view.bytes, 3), u16At(view.bytes, 5));

    if (view.length > 22) {
        const RecordTexts texts = recordTexts(view);
        if (texts.present(1)) say(kMapSeries, texts.shown(1));
        if (verbose) {
            say(kMapMoreText, texts.shown(2));
            if (!texts.firstIsThird()) say(kMapMoreText, texts.shown(0));
        }
    }
    say(kNewline);
}

void printSingleLine(const InputFile& input, bool verbose) {
    const int kind = input.inputKind;
    const char* kindText = " ??";
    if (kind >= 1 && kind <= 10) kindText = mapKindName(kind);
    else if (kind == 11) kindText = input.detectedType != typeNone ? typeName(input.detectedType) : " ? ";
    say(kDataLine, kindText, input.rawLength);
    if (input.fid != 0 || input.pid != 0) say(kDataIds, "PID", input.pid, "FID", input.fid);
    say(kDataName, listingWord(kWordName), baseName(input.path));
    if (verbose && input.detectedType != typeNone) printSubfileDetails(input.single);
    say(kNewline);
}

void printLRecord(const RecordView& record) {
    ListedBytes b = record.bytes;
    const std::uint32_t length = record.length;
    say(kMpsLIds, "PID", u16At(b, 3), "FID", u16At(b, 5));
    if (length > 21) {
        say(kMpsLMap, listingWord(kWordMap), u32At(b, length - 8), u32At(b, 7), u32At(b, length - 4));
        const RecordTexts texts = recordTexts(record);
        say(kMpsLTexts, texts.shown(1), texts.shown(2));
        if (!texts.firstIsThird()) say(kMpsLMoreText, texts.shown(0));
    }
    say(kNewline);
}

// One catalogue record; only the family and mapset names are listed without -v.
void printMpsRecord(const InputFile& input, const MpsRecord& record, bool verbose) {
    const RecordView view = recordView(input, record);
    const ListedBytes b = view.bytes;
    const std::uint32_t length = view.length;
    const std::string len = listingWord(kWordLen);
    switch (record.type) {
    case 'P':
        if (!verbose) break;
        if (length < 7) say(kMpsP, len, length);
        else if (length < 13) say(kMpsPIds, "PID", u16At(b, 3), "FID", u16At(b, 5));
        else say(kMpsPFull, "PID", u16At(b, 3), "FID", u16At(b, 5), u16At(b, 7), u16At(b, 9), u16At(b, 11));
        break;
    case 'F':
        if (length > 7)
            say(kMpsFText, "PID", u16At(b, 3), "FID", u16At(b, 5),
                fileText(b, 7, std::min<std::uint64_t>(length - 7, kRecordTextLimit)));
        else if (verbose && length < 7) say(kMpsF, len, length);
        else if (verbose) say(kMpsFIds, "PID", u16At(b, 3), "FID", u16At(b, 5));
        break;
    case 'V':
        if (length < 4) {
            if (verbose) say(kMpsV, len, length);
        } else {
            std::string text = fileText(b, 3, std::min<std::uint64_t>(length - 3, kRecordTextLimit));
            if (byteAt(b, length - 2) == 0) say(kMpsVTextByte, text, byteAt(b, length - 1));
            else say(kMpsVText, text);
        }
        break;
    case 'M':
        if (!verbose) break;
        if (length < 7) say(kMpsM, len, length);
        else if (length < 13) say(kMpsMMap, listingWord(kWordMap), u32At(b, 3));
        else say(kMpsMFull, listingWord(kWordMap), u32At(b, 3), "levels", byteAt(b, 11), byteAt(b, 12), u32At(b, 7));
        break;
    case 'D':
        if (!verbose) break;
        if (length < 11) say(kMpsD, len, length);
        else say(kMpsDFull, "levels", byteAt(b, 7), byteAt(b, 8), u32At(b, 3));
        break;
    case 'L':
        if (!verbose) break;
        if (length < 7) say(kMpsL, len, length);
        else printLRecord(view);
        break;
    default:
        if (verbose) say(kMpsOther, shownByte(record.type), len, length);
        break;
    }
}

}  // namespace

void printInfo(const InputFile& input, bool verbose) {
    sayLine(kNewline);
    say(kFile, input.path, input.size);
    if (input.isContainer()) printHeaderLines(input, verbose);

    if (verbose && !input.subfiles.empty()) printSubfileTable(input);

    if (!input.maps.empty()) {
        say(kMapHeading);
        for (int index : input.mapList)
            if (index >= 0 && static_cast<std::size_t>(index) < input.maps.size())
                printMapRow(input, input.maps[static_cast<std::size_t>(index)], verbose);
    }

    if (input.inputKind != noKind) printSingleLine(input, verbose);

    if (!input.mpsData.empty()) {
        say(kMpsHeading);
        for (const MpsRecord& record : input.mpsRecords) printMpsRecord(input, record, verbose);
    }
    sayLine(kNewline);
}
