#include "platform/system.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#ifdef _WIN32
#include <windows.h>
#endif

bool platformPolishLocaleName(const char* name) {
    if (!name || name[0] != 'p' || name[1] != 'l') return false;
    char c = name[2];
    return c == '\0' || c == '_' || c == '.' || c == '@';
}

#ifdef _WIN32
bool platformUserLanguageIsPolish() { return (GetUserDefaultLangID() & 0x3FF) == 0x15; }
#else
bool platformUserLanguageIsPolish() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) return platformPolishLocaleName(value);
    }
    return false;
}
#endif

std::int64_t platformNow() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch && *epoch) {
        std::int64_t v = 0;
        const char* p = epoch;
        while (*p >= '0' && *p <= '9' && v < (INT64_MAX - 9) / 10) v = v * 10 + (*p++ - '0');
        if (*p == '\0') return v;
    }
    return static_cast<std::int64_t>(std::time(nullptr));
}

bool platformUtc(std::int64_t seconds, std::tm& out) {
    std::time_t t = static_cast<std::time_t>(seconds);
#ifdef _WIN32
    return gmtime_s(&out, &t) == 0;
#else
    return gmtime_r(&t, &out) != nullptr;
#endif
}

bool platformPausesWithoutArguments() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}
