#include "img/format/catalogue.h"

#include <algorithm>

#include "common/bytes.h"
#include "common/text.h"

namespace {

constexpr std::size_t kNameLimit = 50;
constexpr std::size_t kTextsStart = 11;

void append16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void append32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    append16(b, v & 0xFFFF);
    append16(b, v >> 16);
}

void appendText(std::vector<std::uint8_t>& b, const std::string& text) {
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
}

}  // namespace

std::vector<MpsRecord> splitMpsRecords(const std::vector<std::uint8_t>& data, std::uint32_t length, bool& exact) {
    std::vector<MpsRecord> records;
    const std::uint64_t end = std::min<std::uint64_t>(length, data.size());
    std::uint64_t pos = 0;
    while (pos + 3 <= end) {
        std::uint64_t next = pos + 3 + getU16(data.data() + pos + 1);
        if (next > end) break;
        records.push_back({data[pos], 0, static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(next - pos)});
        pos = next;
    }
    exact = pos == end;
    return records;
}

const std::uint8_t* recordBytes(const std::vector<std::uint8_t>& data, const MpsRecord& r) {
    if (r.offset > data.size() || r.length > data.size() - r.offset) return nullptr;
    return data.data() + r.offset;
}

bool linkable(const MpsRecord& r) { return r.type == 'L' && r.length >= 8; }

std::uint32_t mpsMapId(const std::vector<std::uint8_t>& data, const MpsRecord& r) {
    const std::uint8_t* b = recordBytes(data, r);
    if (!b || r.length < 8) return 0;
    return getU32(b + r.length - 8);
}

bool recordIds(const std::vector<std::uint8_t>& data, const MpsRecord& r, std::uint16_t& fid, std::uint16_t& pid) {
    const std::uint8_t* b = recordBytes(data, r);
    if (!b || r.length < 7) return false;
    pid = getU16(b + 3);
    fid = getU16(b + 5);
    return true;
}

std::string familyName(const std::vector<std::uint8_t>& data, const MpsRecord& r) {
    const std::uint8_t* b = recordBytes(data, r);
    if (!b || r.length <= 7) return {};
    return std::string(reinterpret_cast<const char*>(b) + 7, static_cast<std::size_t>(boundedLength(b, 7, r.length)));
}

MapRecordTexts mapRecordTexts(const std::uint8_t* record, std::size_t held, std::uint32_t length) {
    MapRecordTexts texts;
    if (length < 8) return texts;
    const std::size_t end = std::min<std::size_t>(length - 8, held);
    std::size_t start = kTextsStart;
    for (int i = 0; i < 3; ++i) {
        std::int64_t n = terminatedLength(record, start, end);
        if (n < 0) break;
        if (n > 0) {
            texts.text[i].assign(reinterpret_cast<const char*>(record + start), static_cast<std::size_t>(n));
            texts.present[i] = true;
        }
        start += static_cast<std::size_t>(n) + 1;
    }
    return texts;
}

bool mapRecordDescription(const std::vector<std::uint8_t>& data, const MpsRecord& r, std::string& out) {
    const std::uint8_t* rec = recordBytes(data, r);
    if (!rec || r.length <= 21) return false;
    const std::size_t end = r.length - 8;
    for (std::size_t p = kTextsStart; p < end; ++p)
        if (rec[p] == 0) {
            std::size_t start = p + 1, stop = start;
            while (stop < end && rec[stop] != 0) ++stop;
            out.assign(reinterpret_cast<const char*>(rec + start), std::min(stop - start, kNameLimit));
            return true;
        }
    return false;
}

std::string recordName(const std::string& name) { return name.substr(0, std::min(name.find('\0'), kNameLimit)); }

void appendRecord(std::vector<std::uint8_t>& b, char letter, const std::vector<std::uint8_t>& body) {
    b.push_back(static_cast<std::uint8_t>(letter));
    append16(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
}

void appendMapRecord(std::vector<std::uint8_t>& out, std::uint32_t pid, std::uint32_t fid, std::uint32_t number,
                     const std::string& name, const std::string& description) {
    std::vector<std::uint8_t> body;
    append16(body, pid & 0xFFFF);
    append16(body, fid & 0xFFFF);
    append32(body, number);
    appendText(body, name);
    appendText(body, description);
    appendText(body, name);
    append32(body, number);
    append32(body, 0);
    appendRecord(out, 'L', body);
}

void appendMapsetRecord(std::vector<std::uint8_t>& out, const std::string& name) {
    std::vector<std::uint8_t> body;
    appendText(body, name);
    body.push_back(0);
    appendRecord(out, 'V', body);
}

void appendProductRecords(std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t pid, std::uint32_t fid) {
    std::vector<std::uint8_t> body;
    append16(body, pid & 0xFFFF);
    append16(body, fid & 0xFFFF);
    body.insert(body.end(), 6, 0);
    appendRecord(out, 'P', body);
    body.resize(4);
    appendText(body, name);
    appendRecord(out, 'F', body);
}
void dropDuplicateRecords(std::vector<std::uint8_t>& b) {
    struct Rec {
        std::size_t offset;
        std::size_t length;
        std::uint16_t fid;
        std::uint16_t pid;
    };
    std::vector<Rec> fRecs, pRecs, all;
    for (std::size_t pos = 0; pos + 4 <= b.size();) {
        std::size_t length = 3 + std::size_t{getU16(b.data() + pos + 1)};
        if (length > b.size() - pos) break;
        all.push_back({pos, length, 0, 0});
        // Records whose body cannot hold both numbers take no part.
        if ((b[pos] == 'F' || b[pos] == 'P') && length >= 7) {
            Rec r{pos, length, getU16(b.data() + pos + 5), getU16(b.data() + pos + 3)};
            (b[pos] == 'F' ? fRecs : pRecs).push_back(r);
        }
        pos += length;
    }
    if (fRecs.size() < 2 && pRecs.size() < 2) return;
    bool marked = false;
    for (std::vector<Rec>* recs : {&fRecs, &pRecs}) {
        std::stable_sort(recs->begin(), recs->end(), [](const Rec& x, const Rec& y) {
            return x.fid != y.fid ? x.fid < y.fid : x.pid < y.pid;
        });
        for (std::size_t i = 1; i < recs->size(); ++i)
            if ((*recs)[i].fid == (*recs)[i - 1].fid && (*recs)[i].pid == (*recs)[i - 1].pid) {
                b[(*recs)[i].offset] = 0;
                marked = true;
            }
    }
    if (!marked) return;
    std::vector<std::uint8_t> kept;
    kept.reserve(b.size());
    std::size_t end = 0;
    for (const Rec& r : all) {
        if (b[r.offset] != 0) kept.insert(kept.end(), b.begin() + r.offset, b.begin() + r.offset + r.length);
        end = r.offset + r.length;
    }
    kept.insert(kept.end(), b.begin() + end, b.end());
    b = std::move(kept);
}
