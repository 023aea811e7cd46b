// Pieces shared by the two halves of the -i listing: the words put into the
// shared formats, safe field access to file data, and the subfile details.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/date.h"
#include "common/message.h"
#include "img/model/model.h"

using ListedBytes = std::span<const std::uint8_t>;

// Words put into formats that are the same in both languages.
inline constexpr Msg kWordLen{"len.", "dług"};
inline constexpr Msg kWordMap{"map", "mapa"};
inline constexpr Msg kWordDate{"date", "data"};

// The word of the current language, ready to be passed as an argument (in
// the console's encoding, as program texts are).
inline std::string listingWord(const Msg& word) { return messageText(word); }

// Fields of file data. The model may hold any bytes a hostile file had, so a
// field that lies beyond the bytes held reads as 0 instead of being reached.
std::uint8_t byteAt(ListedBytes bytes, std::uint64_t at);
std::uint16_t u16At(ListedBytes bytes, std::uint64_t at);
std::uint32_t u32At(ListedBytes bytes, std::uint64_t at);
// A stored date: year u16, then month, day, hour, minute, second.
StoredDate dateAt(ListedBytes bytes, std::uint64_t at);

// A byte of file data as it may appear on the console: control bytes and DEL
// would move the cursor or garble the listing, so they show as ".".
char shownByte(std::uint8_t c);

// Text from file data: from `start`, at most `limit` bytes, ending at the
// first zero byte, each byte as shownByte() shows it.
std::string fileText(ListedBytes bytes, std::uint64_t start, std::uint64_t limit);

// A fixed-width name field (map and subfile names): every byte is shown, so
// the columns stay aligned even when the field holds zero bytes.
std::string nameText(const char* name, std::size_t length);

// The continuation lines of one subfile: GMP parts, TRE, LBL, DEM and the
// TYP/TRF/MMR/MD2 header, each when present.
void printSubfileDetails(const Subfile& subfile);
