#include "support/img_builder.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace {

constexpr uint32_t kSector = 512, kEntrySize = 512, kBlocksPerEntry = 240;

std::string padded(const std::string& s, size_t width) {
    if (s.size() > width) throw std::invalid_argument("img builder: field too long: " + s);
    return s + std::string(width - s.size(), ' ');
}

// A run of blocks in as many entries as it needs, at least one; only part 0 has size and mark.
void addEntries(std::vector<ImgFatEntry>& out, ImgFatEntry e, uint64_t firstBlock, uint64_t count) {
    if (firstBlock + count > 0xFFFF) throw std::invalid_argument("img builder: out of block numbers");
    for (uint64_t done = 0; done < count || e.part == 0; ++e.part, e.size = e.mark = 0) {
        e.blocks.clear();
        for (; e.blocks.size() < kBlocksPerEntry && done < count; ++done)
            e.blocks.push_back(static_cast<uint16_t>(firstBlock + done));
        out.push_back(e);
    }
}

}  // namespace

ImgPlan planImg(const ImgLayout& l) {
    ImgPlan p{Bytes(kSector, 0), l.xorByte, kSector << l.blockExponent, l.fatStartSector * kSector, 0, {}, {}, {}};
    const std::string desc = padded(l.description, 50);
    for (const auto& [at, text] : std::initializer_list<std::pair<size_t, std::string>>{
             {0x08, {char(l.versionMajor), char(l.versionMinor), 1, 120}}, {0x10, "DSKIMG"}, {0x39, "\xE4\x07\x01\x01"},
             {0x40, {char(l.fatStartSector)}}, {0x41, "GARMIN"}, {0x49, desc.substr(0, 20)}, {0x65, desc.substr(20)},
             {0x61, {9, char(l.blockExponent)}}, {0x1FE, "\x55\xAA"}})
        putText(p.header, at, text);

    uint64_t otherEntries = l.spareEntries, headerEntries = 1;
    for (const ImgSubfile& s : l.subfiles)
        otherEntries += std::max<uint64_t>(1, ceilDiv(ceilDiv(s.data.size(), p.blockSize), kBlocksPerEntry));
    // The header entries cover the area they are part of, themselves included.
    auto areaBlocks = [&] { return ceilDiv(p.fatOffset + (headerEntries + otherEntries) * kEntrySize, p.blockSize); };
    while (ceilDiv(areaBlocks(), kBlocksPerEntry) > headerEntries) ++headerEntries;
    p.fatSlots = static_cast<uint32_t>(headerEntries + otherEntries);
    addEntries(p.entries, {"", "", p.fatOffset + p.fatSlots * kEntrySize, 3, 0, {}}, 0, areaBlocks());
    uint64_t next = areaBlocks();
    for (const ImgSubfile& s : l.subfiles) {
        const auto size = static_cast<uint32_t>(s.data.size());
        addEntries(p.entries, {s.name, s.type, size, 0, 0, {}}, next, ceilDiv(s.data.size(), p.blockSize));
        for (size_t i = 0; i < s.data.size(); i += p.blockSize, ++next)
            p.blocks[uint32_t(next)] = {s.data.begin() + i, s.data.begin() + std::min(i + p.blockSize, s.data.size())};
    }
    return p;
}

Bytes renderImg(const ImgPlan& p) {
    if (p.entries.size() > p.fatSlots) throw std::invalid_argument("img builder: more entries than FAT slots");
    uint64_t blocks = ceilDiv(p.fatOffset + uint64_t{p.fatSlots} * kEntrySize, p.blockSize);
    if (!p.blocks.empty()) blocks = std::max<uint64_t>(blocks, p.blocks.rbegin()->first + 1ull);
    Bytes out(blocks * p.blockSize, 0);
    std::copy(p.header.begin(), p.header.end(), out.begin());
    for (size_t i = 0; i < p.entries.size(); ++i) {
        const ImgFatEntry& e = p.entries[i];
        if (e.blocks.size() > kBlocksPerEntry) throw std::invalid_argument("img builder: over 240 blocks in an entry");
        Fields entry = Fields().u8(1).text(padded(e.name, 8) + padded(e.type, 3)).u32(e.size).u8(e.mark).u8(e.part);
        entry.bytes.resize(0x20, 0);
        for (size_t k = 0; k < kBlocksPerEntry; ++k) entry.u16(k < e.blocks.size() ? e.blocks[k] : 0xFFFF);
        std::copy(entry.bytes.begin(), entry.bytes.end(), out.begin() + p.fatOffset + i * kEntrySize);
    }
    for (const auto& [block, data] : p.blocks) {
        if (data.size() > p.blockSize) throw std::invalid_argument("img builder: block content larger than a block");
        std::copy(data.begin(), data.end(), out.begin() + uint64_t{block} * p.blockSize);
    }
    if (p.fileSize) out.resize(*p.fileSize, 0);
    for (uint8_t& b : out) b ^= p.xorByte;
    if (!out.empty() && p.xorByte != 0) out[0] = p.xorByte;
    fixImgChecksum(out);
    return out;
}

void fixImgChecksum(Bytes& image) {  // the new byte takes away what the others add up to
    if (image.size() > 0x0F) image[0x0F] -= static_cast<uint8_t>(std::accumulate(image.begin(), image.end(), 0u));
}

void putText(Bytes& v, size_t at, const std::string& text) {
    v.resize(std::max(v.size(), at + text.size()));
    std::copy(text.begin(), text.end(), v.begin() + at);
}

void putLe(Bytes& v, size_t at, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) putText(v, at + i, std::string(1, static_cast<char>(x >> (8 * i))));
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes commonHeader(const std::string& type3, uint16_t headerLength, uint16_t year, uint8_t month, uint8_t day,
                   uint8_t hour, uint8_t minute, uint8_t second) {
    Bytes h = Fields().u16(headerLength).text("GARMIN " + padded(type3, 3)).u16(1).u16(year).u8(month).u8(day)
                  .u8(hour).u8(minute).u8(second);
    h.resize(std::max<size_t>(headerLength, 0x15), 0);
    return h;
}

Bytes treSubfile(uint32_t mapId, size_t size) {
    Bytes t = commonHeader("TRE", 188);
    t.resize(std::max<size_t>(size, 188), 0);
    for (uint32_t at : {0x21u, 0x29u, 0x31u, 0x4Au, 0x58u, 0x66u}) putLe32(t, at, 188);
    putLe32(t, 0x74, mapId);
    return t;
}

Bytes mpsRecord(char letter, const Bytes& body) {
    return concat({Fields().u8(static_cast<uint8_t>(letter)).u16(static_cast<uint32_t>(body.size())), body});
}

Bytes recordL(uint16_t pid, uint16_t fid, uint32_t number, std::initializer_list<std::string> texts, uint32_t mapId) {
    Fields b = Fields().u16(pid).u16(fid).u32(number);
    for (const std::string& t : texts) b.cstr(t);
    return mpsRecord('L', b.u32(mapId).u32(0));
}
