// The scanner for numeric option values: numbers separated by single
// characters ("5", "1,2", "2.10,1"), counted like the items of a formatted
// scan, but stricter: no "-" and no wrap above 32 bits.
#pragma once

#include <cstdint>
#include <string_view>

struct NumberScan {
    int items = 0;               // numbers and separators read, in order
    std::uint64_t number[3] = {};  // above 0xFFFFFFFF when the text's number was larger
    char separator[3] = {};
};

// Reads up to `count` pairs of a number and the one character after it.
// A number is optional blanks, an optional "+" and at least one digit.
NumberScan scanNumbers(std::string_view text, int count);

// The value that stands for any number beyond 32 bits.
inline constexpr std::uint64_t kNumberTooLarge = 0x100000000ULL;
