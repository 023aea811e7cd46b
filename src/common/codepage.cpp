#include "common/codepage.h"

#include "common/codepage_tables.h"

namespace {

// What applies before any code page is selected: ASCII letters and digits
// only, every byte >= 0x80 left alone. Code page 0 marks it as "no selection".
constexpr CodePageTable makeAsciiTable() {
    CodePageTable t{};
    for (int b = 0; b < 256; ++b) {
        auto c = static_cast<std::uint8_t>(b);
        t.upper[b] = c;
        t.lower[b] = c;
        if (c >= 'a' && c <= 'z') {
            t.flags[b] = charLetter;
            t.upper[b] = static_cast<std::uint8_t>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            t.flags[b] = charLetter;
            t.lower[b] = static_cast<std::uint8_t>(c - 'A' + 'a');
        } else if (c >= '0' && c <= '9') {
            t.flags[b] = charDigit;
        }
    }
    return t;
}

constexpr CodePageTable asciiTable = makeAsciiTable();

// Constant-initialised, so usable from other static initialisers.
const CodePageTable* selected = &asciiTable;

}  // namespace

const CodePageTable* findCodePageTable(std::uint32_t codePage) {
    for (std::size_t i = 0; i < codePageTableCount; ++i)
        if (codePageTables[i].codePage == codePage) return &codePageTables[i];
    return nullptr;
}

bool selectCodePage(std::uint32_t codePage) {
    const CodePageTable* table = findCodePageTable(codePage);
    if (!table) return false;
    selected = table;
    return true;
}

std::uint32_t currentCodePage() { return selected->codePage; }

std::optional<std::uint32_t> saveCharLocale() {
    if (selected == &asciiTable) return std::nullopt;
    return selected->codePage;
}

void restoreCharLocale(std::optional<std::uint32_t> saved) {
    if (saved) selectCodePage(*saved);
}

bool isLetterByte(std::uint8_t c) { return (selected->flags[c] & charLetter) != 0; }
bool isDigitByte(std::uint8_t c) { return (selected->flags[c] & charDigit) != 0; }
bool isWordByte(std::uint8_t c) { return (selected->flags[c] & (charLetter | charDigit | charMark)) != 0; }
std::uint8_t upperByte(std::uint8_t c) { return selected->upper[c]; }
std::uint8_t lowerByte(std::uint8_t c) { return selected->lower[c]; }
