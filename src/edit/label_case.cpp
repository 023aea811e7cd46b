#include "edit/label_case.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/bytes.h"
#include "common/codepage.h"
#include "common/file_ops.h"
#include "edit/map_filter.h"
#include "img/container/patch.h"
#include "img/container/subfile_io.h"

namespace {

constexpr Msg kFormatNotSupported{"  Map %s label format not supported.\n",
                                  "  Mapa %s nieobsługiwany format etykiety.\n"};
constexpr Msg kUnknownLbl{"  Map %s unknown LBL structure.\n", "  Mapa %s nieznana struktura LBL.\n"};
constexpr Msg kCodePageNotSupported{"  Map %s codepage not supported.\n", "  Mapa %s nieobsługiwana strona kodowa.\n"};
constexpr Msg kModificationError{"  Map %s label modification error.\n", "  Mapa %s błąd modyfikacji etykiet.\n"};
constexpr Msg kLabelsModified{"  Map %s labels modified.\n", "  Mapa %s zmodyfikowane etykiety.\n"};

// LBL header fields: where the label data lies (from the start of the
// subfile that holds the LBL) and how labels are coded.
constexpr std::size_t kLabelDataOffset = 0x15;
constexpr std::size_t kLabelDataLength = 0x19;
constexpr std::size_t kLabelCoding = 0x1E;
constexpr std::uint8_t kEightBitLabels = 9;

// Label data can be megabytes; it is read, converted and written back a
// piece at a time.
constexpr std::size_t kPieceSize = std::size_t{1} << 20;

// Converts one piece; wordStart carries whether the next byte starts a word
// from one piece to the next.
bool convertPiece(int mode, std::uint8_t* buffer, std::size_t length, bool& wordStart) {
    switch (mode) {
        case 1:
            for (std::size_t i = 0; i < length; ++i) buffer[i] = upperByte(buffer[i]);
            return true;
        case 2:
            for (std::size_t i = 0; i < length; ++i) buffer[i] = lowerByte(buffer[i]);
            return true;
        case 3:
            // Separators, the NUL between labels included, start a new word.
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint8_t c = buffer[i];
                if (!isWordByte(c)) {
                    wordStart = true;
                } else if (wordStart) {
                    buffer[i] = upperByte(c);
                    wordStart = false;
                } else {
                    buffer[i] = lowerByte(c);
                }
            }
            return true;
        default:
            return false;
    }
}

// One map's label data; a map that cannot be converted is skipped with a
// message. False when the file must not be edited further.
bool convertMap(InputFile& input, const MapEntry& map, const LblInfo& lbl, int mode, bool verbose) {
    const std::vector<std::uint8_t>& h = lbl.header;
    if (h.size() <= kLabelCoding) {
        say(kUnknownLbl, map.name);
        return true;
    }
    if (h[kLabelCoding] != kEightBitLabels) {
        say(kFormatNotSupported, map.name);
        return true;
    }
    const std::uint64_t offset = getU32(h.data() + kLabelDataOffset);
    const std::uint64_t length = getU32(h.data() + kLabelDataLength);
    if (lbl.subfileSize <= offset || offset + length > lbl.subfileSize) {
        say(kUnknownLbl, map.name);
        return true;
    }
    if (!selectCodePage(lbl.codePage)) {
        say(kCodePageNotSupported, map.name);
        return true;
    }

    std::vector<std::uint8_t> buffer, before;
    const auto pieceSize = static_cast<std::size_t>(std::min<std::uint64_t>(length, kPieceSize));
    if (!allocChecked(buffer, pieceSize) || !allocChecked(before, pieceSize)) return false;
    bool wordStart = true;
    std::uint64_t done = 0;
    // At least one pass, so that a wrong mode is reported for empty label data too.
    do {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, kPieceSize));
        if (piece != 0 && !readSubfileBytes(input, lbl.firstFat, offset + done, piece, buffer.data())) return false;
        std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(piece), before.begin());
        if (!convertPiece(mode, buffer.data(), piece, wordStart)) {
            say(kModificationError, map.name);
            return false;
        }
        if (!std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(piece), before.begin()) &&
            !patchSubfile(input, lbl.firstFat, offset + done, buffer.data(), piece))
            return false;
        done += piece;
    } while (done < length);
    if (verbose) say(kLabelsModified, map.name);
    return true;
}

}  // namespace

bool convertLabels(int mode, std::uint8_t* buffer, std::size_t length) {
    bool wordStart = true;
    return convertPiece(mode, buffer, length, wordStart);
}

bool changeLabelCase(InputFile& input, const EditSettings& settings) {
    if (!input.isContainer()) return true;
    if (!openContainer(input, OpenMode::update)) return false;
    const std::optional<std::uint32_t> savedCodePage = saveCharLocale();

    bool ok = true;
    for (int index : input.mapList) {
        const MapEntry& map = input.maps[static_cast<std::size_t>(index)];
        const LblInfo* lbl = mapLbl(input, map);
        if (!mapTre(input, map) || !lbl || !mapPassesFilter(input, map, settings)) continue;
        if (!convertMap(input, map, *lbl, settings.labelCase, settings.verbose)) {
            ok = false;
            break;
        }
    }

    if (!closePatched(input)) ok = false;
    restoreCharLocale(savedCodePage);
    return ok;
}
