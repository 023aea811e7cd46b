#include "platform/path.h"

#ifdef _WIN32
std::string_view platformBaseName(std::string_view path) {
    for (char sep : {'/', '\\', ':'}) {
        std::size_t p = path.rfind(sep);
        if (p != std::string_view::npos) return path.substr(p + 1);
    }
    return path;
}

bool platformEndsInSeparator(std::string_view dir) {
    return !dir.empty() && (dir.back() == '\\' || dir.back() == '/' || dir.back() == ':');
}
#else
std::string_view platformBaseName(std::string_view path) {
    std::size_t p = path.rfind('/');
    return p == std::string_view::npos ? path : path.substr(p + 1);
}

// A trailing "\" or ":" is part of a directory name on POSIX.
bool platformEndsInSeparator(std::string_view dir) { return !dir.empty() && dir.back() == '/'; }
#endif
