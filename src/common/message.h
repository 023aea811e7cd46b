// Bilingual messages: every text the program prints is a pair {English, Polish}
// kept beside the code that prints it, and goes out through printMessage().
#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// True prints English, false Polish; decided at each print.
extern bool useEnglish;

// Counts the "== Warning" messages of the run; the driver reports it at the end.
extern std::uint32_t warningCount;

namespace msgcheck {

// Skips one printf conversion starting after '%'; returns the conversion letter
// ('%' for a literal percent, 0 for a malformed one) and advances pos.
constexpr char conversionAt(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && std::string_view("-+ #0").find(text[pos]) != std::string_view::npos) ++pos;
    while (pos < text.size() && ((text[pos] >= '0' && text[pos] <= '9') || text[pos] == '.')) ++pos;
    while (pos < text.size() && std::string_view("hlLqjzt").find(text[pos]) != std::string_view::npos) ++pos;
    if (pos >= text.size()) return 0;
    return text[pos++];
}

// The sequence of conversions of a text, each one with its flags and width, so
// that "%02X" and "%X" count as different.
constexpr bool nextConversion(std::string_view text, std::size_t& pos, std::string_view& conv) {
    while (pos < text.size()) {
        if (text[pos++] != '%') continue;
        std::size_t start = pos;
        char c = conversionAt(text, pos);
        if (c == '%') continue;
        conv = text.substr(start, pos - start);
        return true;
    }
    return false;
}

constexpr bool wellFormed(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        if (text[pos++] != '%') continue;
        char c = conversionAt(text, pos);
        if (c == 0 || std::string_view("%diuxXocsfeEgG").find(c) == std::string_view::npos) return false;
    }
    return true;
}

// Both texts of a pair must take the same arguments in the same order.
constexpr bool sameConversions(std::string_view a, std::string_view b) {
    if (!wellFormed(a) || !wellFormed(b)) return false;
    std::size_t pa = 0, pb = 0;
    std::string_view ca, cb;
    for (;;) {
        bool ha = nextConversion(a, pa, ca);
        bool hb = nextConversion(b, pb, cb);
        if (ha != hb) return false;
        if (!ha) return true;
        if (ca != cb) return false;
    }
}

}  // namespace msgcheck

struct Msg {
    const char* en;
    const char* pl;
    // A pair whose texts take different arguments does not compile.
    consteval Msg(const char* english, const char* polish) : en(english), pl(polish) {
        if (!msgcheck::sameConversions(english, polish)) throw "message pair with different conversions";
    }
};

// Text that comes from file data (map and subfile names, catalogue texts).
// The formatter shows its control bytes and DEL as ".", so that a hostile file
// cannot move the cursor or forge lines on the console.
struct FileText {
    std::string_view bytes;
};

// One argument of a formatted message, kept with its kind so that a mismatch
// between a conversion and the value given prints something sane instead of
// reading the wrong type.
struct MsgArg {
    enum Kind { Signed, Unsigned, Real, Text, FromFile } kind;
    std::int64_t s = 0;
    std::uint64_t u = 0;
    double d = 0;
    std::string_view text;

    template <class T>
        requires std::is_integral_v<T>
    MsgArg(T v) : kind(std::is_signed_v<T> ? Signed : Unsigned) {
        if constexpr (std::is_signed_v<T>) { s = v; u = static_cast<std::uint64_t>(v); }
        else { u = v; s = static_cast<std::int64_t>(v); }
    }
    MsgArg(double v) : kind(Real), d(v) {}
    MsgArg(const char* v) : kind(Text), text(v ? v : "") {}
    MsgArg(const std::string& v) : kind(Text), text(v) {}
    MsgArg(std::string_view v) : kind(Text), text(v) {}
    MsgArg(FileText v) : kind(FromFile), text(v.bytes) {}
    // Fixed-width fields of file data (see FixedText) print as file text.
    template <class T>
        requires requires(const T& t) {
            { t.shown() } -> std::same_as<FileText>;
        }
    MsgArg(const T& v) : kind(FromFile), text(v.shown().bytes) {}
};

// Formats one text with printf rules. Blank padding of %s counts characters of
// UTF-8 text, not bytes. Program text goes through the console's conversion,
// argument text is copied as it is.
std::string formatText(std::string_view format, std::span<const MsgArg> args);

// A text of the current language as the console shows it, for passing one
// message's words into another.
std::string messageText(const Msg& m);

// The one place where program messages reach the console (standard output
// unless another stream is named).
void printMessage(const Msg& m, bool addNewline, std::span<const MsgArg> args, bool toStderr = false);

template <class... A>
void say(const Msg& m, const A&... args) {
    const MsgArg list[] = {MsgArg(args)..., MsgArg(0)};
    printMessage(m, false, std::span<const MsgArg>(list, sizeof...(A)));
}

// For texts that are printed as a line of their own.
template <class... A>
void sayLine(const Msg& m, const A&... args) {
    const MsgArg list[] = {MsgArg(args)..., MsgArg(0)};
    printMessage(m, true, std::span<const MsgArg>(list, sizeof...(A)));
}

// A warning: printed like say() and counted.
template <class... A>
void warn(const Msg& m, const A&... args) {
    ++warningCount;
    say(m, args...);
}

// For the few texts that belong on standard error.
inline void sayToStderr(const Msg& m) { printMessage(m, false, {}, true); }

// Writes program bytes to the console unchanged.
void printRaw(std::string_view bytes, bool toStderr = false);
