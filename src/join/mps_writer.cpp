#include "join/mps_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/message.h"
#include "common/options.h"
#include "img/container.h"
#include "img/map_grouping.h"
#include "join/join_plan.h"
#include "join/join_writer.h"

namespace {

constexpr Msg kWritingMps{"Writing: data MAPSOURC.MPS\n", "Zapis: dane MAPSOURC.MPS\n"};

constexpr std::size_t kNameLimit = 50;

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

// The mapset name as records carry it: up to its first NUL, at most 50 bytes.
std::string recordName(const ImgWriter& w) {
    std::string name = w.mapsetName.substr(0, w.mapsetName.find('\0'));
    return name.substr(0, kNameLimit);
}

void appendRecord(std::vector<std::uint8_t>& b, char letter, const std::vector<std::uint8_t>& body) {
    b.push_back(static_cast<std::uint8_t>(letter));
    append16(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
}

void appendMapRecord(ImgWriter& w, std::uint32_t pid, std::uint32_t fid, std::uint32_t number, const std::string& description) {
    const std::string name = recordName(w);
    std::vector<std::uint8_t> body;
    append16(body, pid & 0xFFFF);
    append16(body, fid & 0xFFFF);
    append32(body, number);
    appendText(body, name);
    appendText(body, description);
    appendText(body, name);
    append32(body, number);
    append32(body, 0);
    appendRecord(w.mpsBuffer, 'L', body);
}

void appendInputRecords(const InputFile& input, std::vector<std::uint8_t>& b, bool (*wanted)(std::uint8_t)) {
    for (const MpsRecord& r : input.mpsRecords) {
        if (!wanted(r.type) || r.offset > input.mpsData.size() || r.length > input.mpsData.size() - r.offset) continue;
        b.insert(b.end(), input.mpsData.begin() + r.offset, input.mpsData.begin() + r.offset + r.length);
    }
}

// 'V': the mapset name.
void appendMapsetRecord(std::vector<std::uint8_t>& b, const std::string& name) {
    std::vector<std::uint8_t> body;
    appendText(body, name);
    body.push_back(0);
    appendRecord(b, 'V', body);
}

// 'P' and 'F': the product and its family.
void appendProductRecords(std::vector<std::uint8_t>& b, const std::string& name, std::uint32_t pid, std::uint32_t fid) {
    std::vector<std::uint8_t> body;
    append16(body, pid & 0xFFFF);
    append16(body, fid & 0xFFFF);
    body.insert(body.end(), 6, 0);
    appendRecord(b, 'P', body);
    body.resize(4);
    appendText(body, name);
    appendRecord(b, 'F', body);
}

bool writeMpsSubfile(ImgWriter& w) {
    const std::uint64_t length = w.mpsBuffer.size();
    return writeData(w, w.mpsBuffer.data(), w.mpsBuffer.size()) && padToBlock(w, length) &&
           addFatEntries(w, "MAPSOURC", "MPS", length);
}

}  // namespace

std::uint32_t mapNumber(const MapEntry& map) {
    if (map.tre && map.tre->mapId >= 1 && map.tre->mapId <= kMaxMapId) return map.tre->mapId;
    return mapIdFromName(map.name);
}

void addMapRecord(const InputFile& input, const MapEntry& map, ImgWriter& w) {
    if (map.mps >= 0 && static_cast<std::size_t>(map.mps) < input.mpsRecords.size()) {
        const MpsRecord& r = input.mpsRecords[map.mps];
        if (r.offset <= input.mpsData.size() && r.length <= input.mpsData.size() - r.offset)
            w.mpsBuffer.insert(w.mpsBuffer.end(), input.mpsData.begin() + r.offset,
                               input.mpsData.begin() + r.offset + r.length);
        return;
    }
    if (map.kind != mpcMap && map.kind != ntMap) return;
    std::uint32_t number = mapNumber(map);
    if (number == 0) return;
    appendMapRecord(w, options.productId, options.familyId, number, containerDescription(input));
}

void addStandaloneMapRecord(const InputFile& input, ImgWriter& w) {
    const std::optional<TreInfo>& tre = input.single.tre;
    if (!tre || tre->mapId == 0) return;
    bool own = input.pid || input.fid;
    appendMapRecord(w, own ? input.pid : options.productId, own ? input.fid : options.familyId, tre->mapId,
                    std::string(input.single.name, 8));
}

bool writeCatalogue(InputList& inputs, ImgWriter& w) {
    setHeaderDescription(w, recordName(w));
    if (options.noMps) return true;
    std::vector<std::uint8_t>& b = w.mpsBuffer;
    appendMapsetRecord(b, recordName(w));
    if (options.familyId || options.productId) appendProductRecords(b, recordName(w), options.productId, options.familyId);
    say(kWritingMps);
    for (const InputFile& input : inputs) appendInputRecords(input, b, [](std::uint8_t t) { return t == 'F'; });
    for (const InputFile& input : inputs)
        appendInputRecords(input, b, [](std::uint8_t t) { return t != 'V' && t != 'L' && t != 'F' && t != 0; });
    dropDuplicateRecords(b);
    return writeMpsSubfile(w);
}

bool writeFamilyCatalogue(InputFile& input, std::uint32_t kinds, ImgWriter& w, std::uint32_t familyId,
                          std::uint32_t productId) {
    if (!writeOtherKinds(w, kinds, [&](std::uint32_t mask) { return writeGroup(input, mask, w); })) return false;
    std::vector<std::uint8_t>& b = w.mpsBuffer;
    appendMapsetRecord(b, recordName(w));
    setHeaderDescription(w, recordName(w));
    appendProductRecords(b, recordName(w), productId, familyId);
    say(kWritingMps);
    appendInputRecords(input, b, [](std::uint8_t t) { return t != 'V' && t != 'L' && t != 'F' && t != 'P' && t != 0; });
    dropDuplicateRecords(b);
    if (!writeMpsSubfile(w)) return false;
    announceHeader();
    return writeHeader(w);
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
