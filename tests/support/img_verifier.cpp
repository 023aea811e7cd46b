#include "support/img_verifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <tuple>

#include "support/img_builder.h"

namespace {

constexpr uint64_t kSector = 512, kEntry = 512, kSlots = 240, kMiB = 1 << 20;

using Violation = std::runtime_error;

std::string hex(uint64_t v) { char b[24]; return {b, size_t(std::snprintf(b, sizeof b, "0x%jX", uintmax_t{v}))}; }

std::string trimmed(const std::string& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }

struct Checker {
    const std::vector<uint8_t>& f;
    VerifiedImg& out;

    static void require(bool ok, const std::string& what) { if (!ok) throw Violation(what); }
    uint32_t get(uint64_t o, int n) const { return n == 1 ? f.at(o) : n == 2 ? readLe16(f, o) : readLe32(f, o); }
    void expect(uint64_t o, int width, uint32_t want, const std::string& what) const {
        if (get(o, width) != want)
            throw Violation(what + ": " + std::to_string(8 * width) + "-bit field at " + hex(o) + " is " +
                            hex(get(o, width)) + ", expected " + hex(want));
    }
    void zeros(uint64_t o, uint64_t end, const std::string& what) const { while (o < end) expect(o++, 1, 0, what); }
    std::string text(uint64_t o, size_t n) const { return std::string(reinterpret_cast<const char*>(&f[o]), n); }

    void header(const ImgVerifyOptions& opt) {
        require(f.size() >= kSector, "file shorter than the header sector");
        expect(0, 1, 0, "XOR byte");
        const unsigned sum = std::accumulate(f.begin(), f.end(), 0u) % 256;
        require(!opt.strictFile || sum == 0, "bytes sum to " + std::to_string(sum) + " mod 256, expected 0");
        require(text(0x10, 6) == "DSKIMG" && text(0x41, 6) == "GARMIN", "no \"DSKIMG\" at 0x10 or \"GARMIN\" at 0x41");
        for (auto [o, want] : {std::pair{0x16, 0}, {0x47, 0}, {0x48, 0}, {0x61, 9}, {0x1FE, 0x55}, {0x1FF, 0xAA}})
            expect(o, 1, want, "fixed header byte");
        require(f[0x62] <= 15 && f[0x40] != 0, "block exponent at 0x62 above 15, or FAT start sector at 0x40 zero");
        // Blank padded; a NUL shows a C string copied without padding.
        const std::string d = text(0x49, 20) + text(0x65, 30);
        require(d.find('\0') == std::string::npos, "NUL in the description, expected blank padding");
        out = {512u << f[0x62], f[0x40] * 512u, readLe16(f, 0x39), trimmed(d), {}};
        if (!opt.strictHeader) return;
        expect(0x17, 1, 2, "fixed header byte");
        require(f[0x0A] >= 1 && f[0x0A] <= 12 && f[0x3B] >= 1 && f[0x3B] <= 12 && f[0x3C] >= 1 && f[0x3C] <= 31 &&
                    f[0x3D] <= 23 && f[0x3E] <= 59 && f[0x3F] <= 59 && out.year >= 1900,
                "date at 0x0A or 0x39-0x3F out of range");
        // The geometry follows the file size: H heads, T sectors per track, cylinders 0..C just enough for the file.
        const uint32_t h = f.size() >= 64 * kMiB ? 256 : 16, t = f.size() >= 16 * kMiB ? 32 : 8;
        const uint32_t c = static_cast<uint32_t>(ceilDiv(f.size(), kSector) / (h * t)), sectors = h * t * (c + 1);
        const uint16_t blocks = static_cast<uint16_t>(sectors >> f[0x62]);
        using Field = std::tuple<uint64_t, int, uint32_t, const char*>;
        for (auto [at, width, want, what] : {Field{0x18, 2, t, "sectors per track"}, {0x1A, 2, h, "heads"},
              {0x1C, 2, c + 1, "cylinders"}, {0x5D, 2, h, "heads (copy)"}, {0x5F, 2, t, "sectors per track (copy)"},
              {0x63, 2, blocks ? blocks : 0xFFFFu, "block count"}, {0x1C0, 1, 1, "partition start"},
              {0x1C3, 1, h - 1, "partition last head"}, {0x1C4, 1, t | ((c & 0x300) >> 2), "partition last sector"},
              {0x1C5, 1, c & 0xFF, "partition last cylinder"}, {0x1CA, 4, sectors, "partition sectors"}})
            expect(at, width, want, what);
    }

    // Flag 1, the run's name and part, a size (and the header's mark 3) in part 0 only, 0x12-0x1F zero, `blocks`
    // block numbers going on from `from`, the rest 0xFFFF.
    void entry(uint32_t slot, const std::string& nameType, bool header, uint32_t part, uint32_t blocks, uint32_t from) {
        const uint64_t o = out.fatStart + slot * kEntry;
        const std::string where =
            "FAT slot " + std::to_string(slot) + ", part " + std::to_string(part) + " of \"" + nameType + "\"";
        expect(o, 1, 1, where + ", flag");
        require(text(o + 1, 11) == nameType, where + ": found \"" + text(o + 1, 11) + "\"");
        expect(o + 0x11, 1, part, where);
        expect(o + 0x10, 1, header && part == 0 ? 3 : 0, where + ", mark");
        if (part > 0) expect(o + 0x0C, 4, 0, where + ", continuation with a size");
        zeros(o + 0x12, o + 0x20, where + ", reserved bytes");
        const std::string list = where + ", block list (no gaps, no reuse)";
        for (uint32_t i = 0; i < kSlots; ++i) expect(o + 0x20 + 2 * i, 2, i < blocks ? from + i : 0xFFFF, list);
    }

    // A run of entries for the header (blank name, its size the header length) and one per subfile, each taking
    // the blocks after the previous one, 240 per entry; after the first free slot only zeros.
    void fat(const ImgVerifyOptions& opt) {
        const uint64_t size = f.size(), bs = out.blockSize, start = out.fatStart;
        const uint32_t hl = readLe32(f, start + 0x0C);
        zeros(kSector, start, "gap between the header sector and the FAT");
        require(hl >= start + kEntry && (hl - start) % kEntry == 0 && hl <= size,
                "header length " + std::to_string(hl) + " does not end the FAT on a whole entry inside the file");
        const uint32_t slots = static_cast<uint32_t>((hl - start) / kEntry);
        uint32_t slot = 0, nextBlock = 0;
        for (bool header = true; slot < slots && (header || f[start + slot * kEntry] != 0); header = false) {
            const std::string nameType = text(start + slot * kEntry + 1, 11);
            require(header == (nameType == std::string(11, ' ')), "FAT slot " + std::to_string(slot) + ": name wrong");
            const uint32_t length = header ? hl : readLe32(f, start + slot * kEntry + 0x0C);
            const uint32_t blocks = static_cast<uint32_t>(ceilDiv(length, bs));
            require(uint64_t{nextBlock} + blocks <= 0x10000, "\"" + nameType + "\" runs past block 65535");
            if (!header) out.subfiles.push_back({nameType.substr(0, 8), nameType.substr(8), length, nextBlock});
            for (uint32_t part = 0, done = 0; part == 0 || done < blocks; ++part, ++slot) {
                require(slot < slots, "FAT ends before the last part of \"" + nameType + "\"");
                const uint32_t here = std::min<uint32_t>(blocks - done, kSlots);
                entry(slot, nameType, header, part, here, nextBlock + done);
                done += here;
            }
            nextBlock += blocks;
            if (header) zeros(hl, std::min<uint64_t>(blocks * bs, size), "padding after the FAT");
        }
        zeros(start + slot * kEntry, hl, "free FAT slots after the last used entry");
        require(size >= nextBlock * bs && (!opt.strictFile || size == nextBlock * bs),
                "file is " + std::to_string(size) + " bytes, expected " + std::to_string(nextBlock) + " blocks");
        for (const VerifiedSubfile& s : out.subfiles)
            zeros(s.firstBlock * bs + s.size, (s.firstBlock + ceilDiv(s.size, bs)) * bs,
                  "padding after " + s.fullName());
    }
};

}  // namespace

std::string VerifiedSubfile::fullName() const { return trimmed(name) + "." + trimmed(type); }

bool verifyImg(const std::vector<uint8_t>& file, VerifiedImg& out, std::string& error,
               const ImgVerifyOptions& options) {
    error.clear();
    try {
        Checker c{file, out};
        c.header(options);
        c.fat(options);
    } catch (const Violation& v) {
        error = v.what();
    } catch (const std::out_of_range&) {  // a field past the end of the file
        error = "the file ends inside the header or the FAT";
    }
    return error.empty();
}

std::vector<uint8_t> subfileBytes(const std::vector<uint8_t>& file, const VerifiedImg& img, const std::string& name) {
    for (const VerifiedSubfile& s : img.subfiles) {
        if (s.name + s.type != name && s.fullName() != name) continue;
        const uint64_t from = uint64_t{s.firstBlock} * img.blockSize;
        if (from + s.size > file.size()) throw std::out_of_range(name + " runs past the end of the file");
        return {file.begin() + static_cast<std::ptrdiff_t>(from),
                file.begin() + static_cast<std::ptrdiff_t>(from + s.size)};
    }
    throw std::out_of_range("no subfile " + name + " in the container");
}

std::vector<uint8_t> subfileOf(const std::vector<uint8_t>& file, const std::string& name) {
    VerifiedImg img;
    std::string error;
    if (!verifyImg(file, img, error, {false, false})) throw std::runtime_error(error);
    return subfileBytes(file, img, name);
}

std::vector<std::string> Img::order() const {
    std::vector<std::string> names;
    for (const VerifiedSubfile& s : img.subfiles) names.push_back(s.fullName());
    return names;
}

Img verifiedImg(std::vector<uint8_t> file, const ImgVerifyOptions& options, const std::string& what) {
    Img i{std::move(file), {}};
    std::string error;
    EXPECT_TRUE(verifyImg(i.file, i.img, error, options)) << what << ": " << error;
    return i;
}

Img readImg(const std::filesystem::path& path, const ImgVerifyOptions& options) {
    return verifiedImg(readBytes(path), options, path.string());
}
