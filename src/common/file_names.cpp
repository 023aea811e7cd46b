#include "common/file_names.h"

#include "platform/path.h"

std::string safeFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    bool onlyDots = true;
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool bad = c < 0x20 || c == 0x7F || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos;
        out += bad ? '_' : ch;
        if (ch != '.') onlyDots = false;
    }
    if (onlyDots) return "_";
    platformFixFileName(out);
    return out;
}

std::string trimmedField(std::string_view field) {
    std::size_t end = field.size();
    while (end > 1 && static_cast<unsigned char>(field[end - 1]) <= 32) --end;
    return std::string(field.substr(0, end));
}
