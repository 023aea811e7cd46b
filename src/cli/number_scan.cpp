#include "cli/number_scan.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One unsigned number at pos; false when there is none.
bool scanNumber(std::string_view text, std::size_t& pos, std::uint64_t& value) {
    std::size_t p = pos;
    while (p < text.size() && isBlank(text[p])) ++p;
    if (p < text.size() && text[p] == '+') ++p;
    if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
    value = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        value = value * 10 + static_cast<std::uint64_t>(text[p] - '0');
        if (value > 0xFFFFFFFFULL) value = kNumberTooLarge;  // saturate, never wrap
        ++p;
    }
    pos = p;
    return true;
}

}  // namespace

NumberScan scanNumbers(std::string_view text, int count) {
    NumberScan r;
    std::size_t pos = 0;
    for (int i = 0; i < count && i < 3; ++i) {
        if (!scanNumber(text, pos, r.number[i])) break;
        ++r.items;
        if (pos >= text.size()) break;
        r.separator[i] = text[pos++];
        ++r.items;
    }
    return r;
}
