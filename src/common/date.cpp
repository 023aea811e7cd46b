#include "common/date.h"

#include <cstdio>
#include <ctime>

#include "platform/system.h"

StoredDate currentDate;

void takeCurrentDate() {
    std::tm t{};
    if (!platformUtc(platformNow(), t)) return;
    currentDate.year = static_cast<std::uint16_t>(t.tm_year + 1900);
    currentDate.month = static_cast<std::uint8_t>(t.tm_mon + 1);
    currentDate.day = static_cast<std::uint8_t>(t.tm_mday);
    currentDate.hour = static_cast<std::uint8_t>(t.tm_hour);
    currentDate.minute = static_cast<std::uint8_t>(t.tm_min);
    currentDate.second = static_cast<std::uint8_t>(t.tm_sec);
    currentDate.zero = 0;
}

std::string formatStoredDate(const StoredDate& date) {
    unsigned year = date.year, month = date.month;
    if (year < 256) {
        year += 1900;
        month += 1;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02u.%02u.%04u %02u:%02u:%02u", unsigned{date.day}, month, year,
                  unsigned{date.hour}, unsigned{date.minute}, unsigned{date.second});
    return buf;
}
