#include "support/img_builder.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kEntrySize = 512;
constexpr size_t kBlocksPerEntry = 240;

std::string padded(const std::string& s, size_t width, const char* what) {
    if (s.size() > width) throw std::invalid_argument(std::string("img builder: ") + what + " too long: " + s);
    return s + std::string(width - s.size(), ' ');
}

uint64_t ceilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

void putBytes(std::vector<uint8_t>& v, size_t offset, const std::string& s) {
    if (v.size() < offset + s.size()) v.resize(offset + s.size());
    std::memcpy(v.data() + offset, s.data(), s.size());
}

std::vector<uint8_t> makeHeader(const ImgLayout& l) {
    std::vector<uint8_t> h(kSector, 0);
    h[0x08] = l.versionMajor;
    h[0x09] = l.versionMinor;
    h[0x0A] = 1;
    h[0x0B] = 120;
    putBytes(h, 0x10, "DSKIMG");
    putLe16(h, 0x39, 2020);
    h[0x3B] = 1;
    h[0x3C] = 1;
    h[0x40] = l.fatStartByte.value_or(static_cast<uint8_t>(l.fatStartSector));
    putBytes(h, 0x41, "GARMIN");
    const std::string desc = padded(l.description, 50, "description");
    putBytes(h, 0x49, desc.substr(0, 20));
    h[0x61] = 9;
    h[0x62] = l.blockExponent;
    putBytes(h, 0x65, desc.substr(20));
    h[0x1FE] = 0x55;
    h[0x1FF] = 0xAA;
    return h;
}

// Splits a run of blocks over as many entries as it needs (at least one, so
// that empty subfiles still appear in the FAT).
void addEntries(std::vector<ImgFatEntry>& out, const ImgFatEntry& first, uint32_t firstBlock, uint32_t count) {
    for (uint32_t done = 0, part = 0; done < count || part == 0; ++part) {
        ImgFatEntry e = first;
        if (part > 0) {
            e.size = 0;
            e.mark = 0;
        }
        e.part = static_cast<uint8_t>(part);
        const uint32_t n = std::min<uint32_t>(count - done, kBlocksPerEntry);
        for (uint32_t i = 0; i < n; ++i) e.blocks.push_back(static_cast<uint16_t>(firstBlock + done + i));
        done += n;
        out.push_back(std::move(e));
    }
}

void writeEntry(std::vector<uint8_t>& out, size_t o, const ImgFatEntry& e) {
    if (e.zeroed) return;
    if (e.blocks.size() > kBlocksPerEntry) throw std::invalid_argument("img builder: more than 240 blocks in an entry");
    out[o] = 1;
    const std::string name = padded(e.name, 8, "name") + padded(e.type, 3, "type");
    std::memcpy(out.data() + o + 1, name.data(), name.size());
    putLe32(out, o + 0x0C, e.size);
    out[o + 0x10] = e.mark;
    out[o + 0x11] = e.part;
    for (size_t i = 0; i < kBlocksPerEntry; ++i)
        putLe16(out, o + 0x20 + 2 * i, i < e.blocks.size() ? e.blocks[i] : 0xFFFF);
}

}  // namespace

ImgPlan planImg(const ImgLayout& l) {
    // Beyond 2^16 the image gets absurdly large for a test, and the shift overflows soon after.
    if (l.blockExponent > 16) throw std::invalid_argument("img builder: block exponent too large");
    if (l.fatStartSector == 0) throw std::invalid_argument("img builder: the FAT cannot start in sector 0");
    ImgPlan p;
    p.header = makeHeader(l);
    p.xorByte = l.xorByte;
    p.blockSize = kSector << l.blockExponent;
    p.fatOffset = l.fatStartSector * kSector;

    uint64_t subfileEntries = 0;
    for (const ImgSubfile& s : l.subfiles)
        subfileEntries += std::max<uint64_t>(1, ceilDiv(ceilDiv(s.data.size(), p.blockSize), kBlocksPerEntry));

    // The header entries must cover the area they are part of; more entries
    // can mean more blocks, so grow until the count stops changing.
    uint64_t headerEntries = 1, slots = 0, area = 0, areaBlocks = 0;
    for (;;) {
        slots = headerEntries + subfileEntries + l.spareEntries;
        area = p.fatOffset + slots * kEntrySize;
        areaBlocks = ceilDiv(area, p.blockSize);
        const uint64_t need = std::max<uint64_t>(1, ceilDiv(areaBlocks, kBlocksPerEntry));
        if (need <= headerEntries) break;
        headerEntries = need;
    }
    p.fatSlots = static_cast<uint32_t>(slots);

    ImgFatEntry head;
    head.size = static_cast<uint32_t>(area);
    head.mark = 3;
    addEntries(p.entries, head, 0, static_cast<uint32_t>(areaBlocks));

    uint64_t next = areaBlocks;
    for (const ImgSubfile& s : l.subfiles) {
        ImgFatEntry e;
        e.name = s.name;
        e.type = s.type;
        e.size = s.declaredSize.value_or(static_cast<uint32_t>(s.data.size()));
        const uint64_t n = ceilDiv(s.data.size(), p.blockSize);
        if (next + n > 0xFFFF) throw std::invalid_argument("img builder: out of block numbers");
        addEntries(p.entries, e, static_cast<uint32_t>(next), static_cast<uint32_t>(n));
        for (uint64_t i = 0; i < n; ++i) {
            const size_t from = i * p.blockSize, len = std::min<size_t>(p.blockSize, s.data.size() - from);
            p.blocks[static_cast<uint32_t>(next + i)].assign(s.data.begin() + from, s.data.begin() + from + len);
        }
        next += n;
    }
    return p;
}

uint64_t imgNaturalSize(const ImgPlan& p) {
    uint64_t blocks = ceilDiv(uint64_t{p.fatOffset} + uint64_t{p.fatSlots} * kEntrySize, p.blockSize);
    if (!p.blocks.empty()) blocks = std::max<uint64_t>(blocks, p.blocks.rbegin()->first + 1ull);
    return blocks * p.blockSize;
}

std::vector<uint8_t> renderImg(const ImgPlan& p) {
    if (p.entries.size() > p.fatSlots) throw std::invalid_argument("img builder: more entries than FAT slots");
    std::vector<uint8_t> out(imgNaturalSize(p), 0);
    std::copy(p.header.begin(), p.header.end(), out.begin());
    for (size_t i = 0; i < p.entries.size(); ++i) writeEntry(out, p.fatOffset + i * kEntrySize, p.entries[i]);
    for (const auto& [block, data] : p.blocks) {
        if (data.size() > p.blockSize) throw std::invalid_argument("img builder: block content larger than a block");
        std::copy(data.begin(), data.end(), out.begin() + uint64_t{block} * p.blockSize);
    }
    if (p.fileSize) out.resize(*p.fileSize, 0);
    if (p.xorByte != 0) {
        for (uint8_t& b : out) b ^= p.xorByte;
        if (!out.empty()) out[0] = p.xorByte;
    }
    fixImgChecksum(out);
    return out;
}

std::vector<uint8_t> buildImg(const ImgLayout& layout) { return renderImg(planImg(layout)); }

size_t findFatEntry(const ImgPlan& p, const std::string& name, const std::string& type, uint8_t part) {
    for (size_t i = 0; i < p.entries.size(); ++i) {
        const ImgFatEntry& e = p.entries[i];
        if (!e.zeroed && e.name == name && e.type == type && e.part == part) return i;
    }
    throw std::invalid_argument("img builder: no FAT entry " + name + "." + type);
}

void moveFatEntry(ImgPlan& p, size_t from, size_t to) {
    // Growing the FAT here would run it into the first data block; room
    // must be reserved up front (spareEntries).
    if (to >= p.fatSlots) throw std::invalid_argument("img builder: move beyond the FAT; reserve spareEntries");
    ImgFatEntry e = p.entries.at(from);
    p.entries.erase(p.entries.begin() + static_cast<std::ptrdiff_t>(from));
    if (to > p.entries.size()) p.entries.resize(to, ImgFatEntry::freeSlot());
    p.entries.insert(p.entries.begin() + static_cast<std::ptrdiff_t>(to), std::move(e));
}

void fixImgChecksum(std::vector<uint8_t>& image) {
    if (image.size() <= 0x0F) return;
    image[0x0F] = 0;
    uint8_t sum = 0;
    for (uint8_t b : image) sum = static_cast<uint8_t>(sum + b);
    image[0x0F] = static_cast<uint8_t>(-sum);
}

void putLe16(std::vector<uint8_t>& v, size_t o, uint16_t x) {
    if (v.size() < o + 2) v.resize(o + 2);
    v[o] = static_cast<uint8_t>(x);
    v[o + 1] = static_cast<uint8_t>(x >> 8);
}

void putLe24(std::vector<uint8_t>& v, size_t o, uint32_t x) {
    if (v.size() < o + 3) v.resize(o + 3);
    for (int i = 0; i < 3; ++i) v[o + i] = static_cast<uint8_t>(x >> (8 * i));
}

void putLe32(std::vector<uint8_t>& v, size_t o, uint32_t x) {
    if (v.size() < o + 4) v.resize(o + 4);
    for (int i = 0; i < 4; ++i) v[o + i] = static_cast<uint8_t>(x >> (8 * i));
}

void appendLe16(std::vector<uint8_t>& v, uint16_t x) { putLe16(v, v.size(), x); }
void appendLe32(std::vector<uint8_t>& v, uint32_t x) { putLe32(v, v.size(), x); }

uint16_t readLe16(const std::vector<uint8_t>& v, size_t o) { return static_cast<uint16_t>(v.at(o) | v.at(o + 1) << 8); }

uint32_t readLe32(const std::vector<uint8_t>& v, size_t o) {
    return uint32_t{readLe16(v, o)} | uint32_t{readLe16(v, o + 2)} << 16;
}

std::vector<uint8_t> commonHeader(const std::string& type3, uint16_t headerLength, uint16_t year, uint8_t month,
                                  uint8_t day, uint8_t hour, uint8_t minute, uint8_t second) {
    std::vector<uint8_t> h(std::max<size_t>(headerLength, 0x15), 0);
    putLe16(h, 0, headerLength);
    putBytes(h, 2, "GARMIN " + padded(type3, 3, "type"));
    h[0x0C] = 1;
    putLe16(h, 0x0E, year);
    h[0x10] = month;
    h[0x11] = day;
    h[0x12] = hour;
    h[0x13] = minute;
    h[0x14] = second;
    return h;
}

std::vector<uint8_t> mpsRecord(char letter, const std::vector<uint8_t>& body) {
    if (body.size() > 0xFFFF) throw std::invalid_argument("img builder: record body too long");
    std::vector<uint8_t> r{static_cast<uint8_t>(letter)};
    appendLe16(r, static_cast<uint16_t>(body.size()));
    r.insert(r.end(), body.begin(), body.end());
    return r;
}

void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) throw std::runtime_error("cannot write " + path.string());
}
