// The MPS catalogue: a run of records, each a letter, a 16-bit body length
// and the body. This module is the one place that knows the record layout,
// for reading records and for building them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MpsRecord {
    std::uint8_t type = 0;  // record letter; 0 once removed
    std::uint8_t used = 0;  // linked to a map
    std::uint32_t offset = 0;  // of the record's first byte in the catalogue bytes
    std::uint32_t length = 0;  // body length + 3
};

// Splits the first `length` bytes of a catalogue into records, stopping at a
// record that runs past the end; `exact` tells whether the records fill the
// bytes exactly.
std::vector<MpsRecord> splitMpsRecords(const std::vector<std::uint8_t>& data, std::uint32_t length, bool& exact);

// The record's first byte when all of it lies within the data, else null.
const std::uint8_t* recordBytes(const std::vector<std::uint8_t>& data, const MpsRecord& record);

// 'L' records too short to hold a map ID take no part in linking.
bool linkable(const MpsRecord& record);

// The map ID of an 'L' record (the u32 eight bytes before its end); 0 for a
// record too short to hold one.
std::uint32_t mpsMapId(const std::vector<std::uint8_t>& data, const MpsRecord& record);

// Family and product of an 'F' (or 'P', 'L') record; false when its body is
// too short to hold both.
bool recordIds(const std::vector<std::uint8_t>& data, const MpsRecord& record, std::uint16_t& fid, std::uint16_t& pid);

// The family name of an 'F' record: from byte 7 to its first NUL or its end.
std::string familyName(const std::vector<std::uint8_t>& data, const MpsRecord& record);

// The texts of an 'L' record as the listing shows them: up to three
// NUL-terminated texts from byte 11 (series, description, area), all before
// the record's last 8 bytes; the search stops at a text without its NUL, and
// an empty text counts as absent.
struct MapRecordTexts {
    std::string text[3];
    bool present[3] = {false, false, false};
};
MapRecordTexts mapRecordTexts(const std::uint8_t* record, std::size_t held, std::uint32_t length);

// The map description of an 'L' record as a map's container takes it: after
// the NUL that ends the series name (searched from byte 11, never into the
// last 8 bytes) up to the next NUL, at most 50 bytes; false when there is no
// such NUL or the record is 21 bytes or shorter.
bool mapRecordDescription(const std::vector<std::uint8_t>& data, const MpsRecord& record, std::string& out);

// The name records carry: up to its first NUL, at most 50 bytes.
std::string recordName(const std::string& name);

// Record building; numbers are stored as 16 bits where the layout has 16.
void appendRecord(std::vector<std::uint8_t>& out, char letter, const std::vector<std::uint8_t>& body);
// 'L': product, family, map number, the name, the description, the name
// again, the number again and a zero.
void appendMapRecord(std::vector<std::uint8_t>& out, std::uint32_t pid, std::uint32_t fid, std::uint32_t number,
                     const std::string& name, const std::string& description);
// 'V': the mapset name.
void appendMapsetRecord(std::vector<std::uint8_t>& out, const std::string& name);
// 'P' and 'F': the product and its family.
void appendProductRecords(std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t pid, std::uint32_t fid);

// Removes repeated 'F' and 'P' records (same family and product), keeping the
// first of each.
void dropDuplicateRecords(std::vector<std::uint8_t>& buffer);
