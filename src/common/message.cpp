#include "common/message.h"

#include <algorithm>
#include <cstdio>

#include "platform/console.h"

bool useEnglish = true;
std::uint32_t warningCount = 0;

namespace {

bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
        if (more == 4 || i + more >= s.size() + (more ? 0 : 1)) return false;
        for (std::size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += more + 1;
    }
    return true;
}

// Program texts are UTF-8 and are padded by characters; bytes from files that
// are not UTF-8 (code page text) count one character each.
std::size_t displayLength(std::string_view s) {
    if (!validUtf8(s)) return s.size();
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// Byte length of the first `chars` characters of s.
std::size_t prefixBytes(std::string_view s, std::size_t chars) {
    if (!validUtf8(s)) return std::min(chars, s.size());
    std::size_t i = 0, seen = 0;
    while (i < s.size()) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (seen == chars) break;
            ++seen;
        }
        ++i;
    }
    return i;
}

void appendText(std::string& out, std::string_view value, bool leftAlign, int width, int precision) {
    if (precision >= 0) value = value.substr(0, prefixBytes(value, static_cast<std::size_t>(precision)));
    std::size_t len = displayLength(value);
    std::size_t pad = width > 0 && static_cast<std::size_t>(width) > len ? width - len : 0;
    if (!leftAlign) out.append(pad, ' ');
    out.append(value);
    if (leftAlign) out.append(pad, ' ');
}

template <class T>
void appendNumber(std::string& out, const std::string& pattern, T value) {
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, pattern.c_str(), value);
    if (n > 0) out.append(buf, static_cast<std::size_t>(n) < sizeof buf ? n : sizeof buf - 1);
}

char shownFileByte(char ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    return c < 0x20 || c == 0x7F ? '.' : ch;
}

std::string shownFileText(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) c = shownFileByte(c);
    return out;
}

}  // namespace

std::string formatText(std::string_view format, std::span<const MsgArg> args) {
    std::string out;
    std::size_t next = 0;
    std::size_t pos = 0;
    std::size_t literalStart = 0;
    while (pos < format.size()) {
        if (format[pos] != '%') { ++pos; continue; }
        out += platformConsoleText(format.substr(literalStart, pos - literalStart));
        std::size_t start = pos++;
        bool leftAlign = false;
        std::string flags;
        while (pos < format.size() && std::string_view("-+ #0").find(format[pos]) != std::string_view::npos) {
            if (format[pos] == '-') leftAlign = true;
            flags += format[pos++];
        }
        int width = 0, precision = -1;
        while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') width = width * 10 + (format[pos++] - '0');
        if (pos < format.size() && format[pos] == '.') {
            precision = 0;
            ++pos;
            while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9')
                precision = precision * 10 + (format[pos++] - '0');
        }
        while (pos < format.size() && std::string_view("hlLqjzt").find(format[pos]) != std::string_view::npos) ++pos;
        if (pos >= format.size()) {
            out += format.substr(start);
            literalStart = pos;
            break;
        }
        char conv = format[pos++];
        literalStart = pos;
        if (conv == '%') { out += '%'; continue; }
        if (next >= args.size()) continue;  // a missing argument prints nothing
        const MsgArg& a = args[next++];
        std::string pattern = "%" + flags + (width ? std::to_string(width) : "") +
                           (precision >= 0 ? "." + std::to_string(precision) : "");
        switch (conv) {
        case 'd': case 'i':
            appendNumber(out, pattern + "lld", static_cast<long long>(a.kind == MsgArg::Real ? static_cast<std::int64_t>(a.d) : a.s));
            break;
        case 'u': case 'x': case 'X': case 'o':
            appendNumber(out, pattern + "ll" + conv,
                         static_cast<unsigned long long>(a.kind == MsgArg::Real ? static_cast<std::uint64_t>(a.d) : a.u));
            break;
        case 'f': case 'e': case 'E': case 'g': case 'G':
            appendNumber(out, pattern + conv, a.kind == MsgArg::Real ? a.d : a.kind == MsgArg::Signed ? double(a.s) : double(a.u));
            break;
        case 'c': {
            const bool text = a.kind == MsgArg::Text || a.kind == MsgArg::FromFile;
            char c = static_cast<char>(text ? (a.text.empty() ? 0 : a.text[0]) : a.u);
            if (a.kind == MsgArg::FromFile) c = shownFileByte(c);
            appendText(out, std::string_view(&c, 1), leftAlign, width, -1);
            break;
        }
        case 's':
            if (a.kind == MsgArg::FromFile) appendText(out, shownFileText(a.text), leftAlign, width, precision);
            else if (a.kind == MsgArg::Text) appendText(out, a.text, leftAlign, width, precision);
            else appendText(out, std::to_string(a.kind == MsgArg::Signed ? a.s : static_cast<std::int64_t>(a.u)), leftAlign, width, precision);
            break;
        default:
            out += format.substr(start, pos - start);
        }
    }
    if (literalStart < format.size()) out += platformConsoleText(format.substr(literalStart));
    return out;
}

std::string messageText(const Msg& m) { return formatText(useEnglish ? m.en : m.pl, {}); }

void printMessage(const Msg& m, bool addNewline, std::span<const MsgArg> args, bool toStderr) {
    std::string text = formatText(useEnglish ? m.en : m.pl, args);
    if (addNewline) text += '\n';
    platformWrite(text, toStderr);
}

void printRaw(std::string_view bytes, bool toStderr) { platformWrite(bytes, toStderr); }
