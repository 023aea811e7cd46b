// The run's date and the dates stored in files.
#pragma once

#include <cstdint>
#include <string>

// The layout in which dates are stored in headers and records.
struct StoredDate {
    std::uint16_t year = 0;  // below 256: years since 1900, months from 0
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t zero = 0;
};

// The date and time (UTC) taken once at start-up.
extern StoredDate currentDate;

// Fills currentDate from the clock, or from SOURCE_DATE_EPOCH for
// reproducible outputs.
void takeCurrentDate();

// "dd.mm.yyyy hh:mm:ss", with the correction for years below 256.
std::string formatStoredDate(const StoredDate& date);
