#include "platform/console.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

#ifdef _WIN32
std::string platformConsoleText(std::string_view utf8) {
    if (utf8.empty()) return {};
    int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wide <= 0) return std::string(utf8);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    int n = WideCharToMultiByte(1250, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string(utf8);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(1250, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
    return out;
}

void platformInitConsole() {}
#else
std::string platformConsoleText(std::string_view utf8) { return std::string(utf8); }

void platformInitConsole() { std::signal(SIGPIPE, SIG_IGN); }
#endif

void platformWrite(std::string_view bytes, bool toStderr) {
    std::FILE* to = toStderr ? stderr : stdout;
    if (toStderr) std::fflush(stdout);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), to);
}

void platformWaitForEnter() {
    int c;
    do c = std::getchar();
    while (c != '\n' && c != EOF);
}
