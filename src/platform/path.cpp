#include "platform/path.h"

#ifdef _WIN32
void platformFixFileName(std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL"};
    bool device = false;
    for (const char* r : reserved) device = device || stem == r;
    if (stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '1' && stem[3] <= '9')
        device = true;
    if (device) name.insert(0, "_");
    if (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.back() = '_';
}

std::string_view platformBaseName(std::string_view path) {
    std::size_t p = path.find_last_of("/\\:");
    return p == std::string_view::npos ? path : path.substr(p + 1);
}

bool platformEndsInSeparator(std::string_view dir) {
    return !dir.empty() && (dir.back() == '\\' || dir.back() == '/' || dir.back() == ':');
}
#else
void platformFixFileName(std::string&) {}

std::string_view platformBaseName(std::string_view path) {
    std::size_t p = path.rfind('/');
    return p == std::string_view::npos ? path : path.substr(p + 1);
}

// A trailing "\" or ":" is part of a directory name on POSIX.
bool platformEndsInSeparator(std::string_view dir) { return !dir.empty() && dir.back() == '/'; }
#endif
