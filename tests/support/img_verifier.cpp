#include "support/img_verifier.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kEntry = 512;
constexpr uint32_t kSlotsPerEntry = 240;
constexpr uint64_t kMiB = 1024 * 1024;

std::string hex(uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << v;
    return s.str();
}

uint64_t ceilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

// Records the first violation; every check goes through fail() so that the
// message says where the problem is.
class Checker {
   public:
    Checker(const std::vector<uint8_t>& file, const ImgVerifyOptions& o, VerifiedImg& out)
        : f_(file), opt_(o), out_(out) {}

    bool run();
    std::string error;

   private:
    uint8_t at(uint64_t o) const { return f_[o]; }
    uint16_t le16(uint64_t o) const { return static_cast<uint16_t>(at(o) | at(o + 1) << 8); }
    uint32_t le32(uint64_t o) const { return uint32_t{le16(o)} | uint32_t{le16(o + 2)} << 16; }
    std::string text(uint64_t o, size_t n) const {
        return std::string(f_.begin() + static_cast<std::ptrdiff_t>(o),
                           f_.begin() + static_cast<std::ptrdiff_t>(o + n));
    }
    bool fail(const std::string& what) {
        if (error.empty()) error = what;
        return false;
    }
    bool expectByte(uint64_t o, uint8_t want, const std::string& what) {
        return at(o) == want || fail(what + ": byte " + hex(o) + " is " + hex(at(o)) + ", expected " + hex(want));
    }
    bool expect16(uint64_t o, uint32_t want, const std::string& what) {
        return le16(o) == want || fail(what + ": u16 at " + hex(o) + " is " + std::to_string(le16(o)) + ", expected " +
                                       std::to_string(want));
    }
    bool zeroRange(uint64_t from, uint64_t to, const std::string& what) {
        for (uint64_t o = from; o < to; ++o)
            if (at(o) != 0) return fail(what + ": byte " + hex(o) + " is " + hex(at(o)) + ", expected 0");
        return true;
    }

    bool checkSum();
    bool checkHeader();
    bool checkStrictHeader();
    bool checkFat();
    bool checkEntry(uint32_t slot, const std::string& nameType, bool header, uint32_t part, uint32_t blocksHere,
                    uint32_t firstBlock);

    const std::vector<uint8_t>& f_;
    const ImgVerifyOptions& opt_;
    VerifiedImg& out_;
};

bool Checker::run() {
    if (f_.size() < kSector)
        return fail("file of " + std::to_string(f_.size()) + " bytes, shorter than the header sector");
    out_ = VerifiedImg{};
    return expectByte(0, 0, "XOR byte") && checkSum() && checkHeader() && checkStrictHeader() && checkFat();
}

bool Checker::checkSum() {
    if (!opt_.strictFile) return true;
    unsigned sum = 0;
    for (uint8_t b : f_) sum += b;
    if (sum % 256 != 0)
        return fail("bytes sum to " + std::to_string(sum % 256) + " mod 256, expected 0 (checksum byte 0x0F)");
    return true;
}

bool Checker::checkHeader() {
    if (text(0x10, 6) != "DSKIMG") return fail("no \"DSKIMG\" at 0x10");
    if (text(0x41, 6) != "GARMIN") return fail("no \"GARMIN\" at 0x41");
    if (!expectByte(0x16, 0, "signature terminator") || !expectByte(0x47, 0, "after the GARMIN signature") ||
        !expectByte(0x48, 0, "after the GARMIN signature") || !expectByte(0x61, 9, "first block exponent") ||
        !expectByte(0x1FE, 0x55, "boot signature") || !expectByte(0x1FF, 0xAA, "boot signature"))
        return false;
    // Past 2^15 blocks are larger than any sane container and 512 << e overflows soon after.
    if (at(0x62) > 15) return fail("block exponent " + std::to_string(at(0x62)) + " at 0x62 is absurd");
    out_.blockSize = kSector << at(0x62);
    if (at(0x40) == 0) return fail("FAT start sector at 0x40 is 0, the FAT would overlap the header");
    out_.fatStart = at(0x40) * kSector;

    // Both description fields are blank padded; a NUL shows a C string copied without padding.
    const std::string d = text(0x49, 20) + text(0x65, 30);
    if (const size_t nul = d.find('\0'); nul != std::string::npos)
        return fail("NUL in the description at " + hex(nul < 20 ? 0x49 + nul : 0x65 + nul - 20) +
                    ", expected blank padding");
    out_.description = d.substr(0, d.find_last_not_of(' ') + 1);
    out_.year = le16(0x39);
    return true;
}

bool Checker::checkStrictHeader() {
    if (!opt_.strictHeader) return true;
    if (!expectByte(0x17, 2, "fixed header byte")) return false;
    if (at(0x0A) < 1 || at(0x0A) > 12) return fail("update month at 0x0A is " + std::to_string(at(0x0A)));
    if (at(0x3B) < 1 || at(0x3B) > 12) return fail("creation month at 0x3B is " + std::to_string(at(0x3B)));
    if (at(0x3C) < 1 || at(0x3C) > 31) return fail("creation day at 0x3C is " + std::to_string(at(0x3C)));
    if (at(0x3D) > 23 || at(0x3E) > 59 || at(0x3F) > 59) return fail("creation time at 0x3D-0x3F is out of range");
    if (out_.year < 1900) return fail("creation year at 0x39 is " + std::to_string(out_.year));

    // The geometry follows the file size: H heads, T sectors per track and
    // cylinders 0..C, just enough to hold the file.
    const uint64_t size = f_.size();
    const uint32_t h = size >= 64 * kMiB ? 256 : 16, t = size >= 16 * kMiB ? 32 : 8;
    const uint32_t c = static_cast<uint32_t>(ceilDiv(size, kSector) / (h * t));
    const uint32_t sectors = h * t * (c + 1);
    const uint16_t blocks = static_cast<uint16_t>(sectors >> at(0x62));
    return expect16(0x18, t, "sectors per track") && expect16(0x1A, h, "heads") && expect16(0x1C, c + 1, "cylinders") &&
           expect16(0x5D, h, "heads (second copy)") && expect16(0x5F, t, "sectors per track (second copy)") &&
           expect16(0x63, blocks == 0 ? 0xFFFF : blocks, "block count") &&
           expectByte(0x1C0, 1, "partition start sector") &&
           expectByte(0x1C3, static_cast<uint8_t>(h - 1), "partition last head") &&
           expectByte(0x1C4, static_cast<uint8_t>(t | ((c & 0x300) >> 2)),
                      "partition last sector and cylinder bits 8-9") &&
           expectByte(0x1C5, static_cast<uint8_t>(c & 0xFF), "partition last cylinder") &&
           (le32(0x1CA) == sectors || fail("partition sectors: u32 at 0x1CA is " + std::to_string(le32(0x1CA)) +
                                           ", expected " + std::to_string(sectors)));
}

// One FAT entry of a run: flag 1, the run's name, its part number, a size
// (and the header mark 3) in part 0 only, reserved bytes 0x12-0x1F zero, and
// `blocksHere` block numbers going on from firstBlock, the rest 0xFFFF.
bool Checker::checkEntry(uint32_t slot, const std::string& nameType, bool header, uint32_t part, uint32_t blocksHere,
                         uint32_t firstBlock) {
    const uint64_t o = out_.fatStart + uint64_t{slot} * kEntry;
    const std::string where = "FAT slot " + std::to_string(slot);
    if (!expectByte(o, 1, where + " flag")) return false;
    if (text(o + 1, 11) != nameType)
        return fail(where + ": expected part " + std::to_string(part) + " of \"" + nameType + "\", found \"" +
                    text(o + 1, 11) + "\"");
    if (at(o + 0x11) != part)
        return fail(where + ": part " + std::to_string(at(o + 0x11)) + " of \"" + nameType + "\", expected " +
                    std::to_string(part));
    if (part > 0 && le32(o + 0x0C) != 0) return fail(where + ": continuation of \"" + nameType + "\" has a size");
    if (!expectByte(o + 0x10, header && part == 0 ? 3 : 0, where + " mark") ||
        !zeroRange(o + 0x12, o + 0x20, where + " reserved bytes"))
        return false;
    for (uint32_t i = 0; i < kSlotsPerEntry; ++i) {
        const uint16_t b = le16(o + 0x20 + 2 * i);
        if (i < blocksHere && b != firstBlock + i)
            return fail(where + " block " + std::to_string(i) + " is " + std::to_string(b) + ", expected " +
                        std::to_string(firstBlock + i) + " (blocks must follow on without gaps or reuse)");
        if (i >= blocksHere && b != 0xFFFF)
            return fail(where + " unused block slot " + std::to_string(i) + " is " + std::to_string(b) +
                        ", expected 0xFFFF");
    }
    return true;
}

// The FAT is a run of entries for the header (blank name, its size the
// header length) and one run per subfile, each taking the blocks after the
// previous one, 240 per entry; after the first free slot there are only zeros.
bool Checker::checkFat() {
    const uint64_t size = f_.size();
    const uint32_t bs = out_.blockSize, fat = out_.fatStart;
    if (fat + kEntry > size) return fail("FAT at " + hex(fat) + " lies beyond the end of the file");
    if (!zeroRange(kSector, fat, "gap between the header sector and the FAT")) return false;
    const uint32_t hl = le32(fat + 0x0C);
    if (hl < fat + kEntry || (hl - fat) % kEntry != 0)
        return fail("header length " + std::to_string(hl) + " does not end the FAT on a whole entry after " + hex(fat));
    if (hl > size) return fail("header length " + std::to_string(hl) + " is beyond the end of the file");
    const uint32_t slots = (hl - fat) / kEntry;

    uint32_t slot = 0, nextBlock = 0;
    for (bool header = true; slot < slots && (header || at(fat + uint64_t{slot} * kEntry) != 0); header = false) {
        const std::string nameType = text(fat + uint64_t{slot} * kEntry + 1, 11);
        if (header != (nameType == std::string(11, ' ')))
            return fail("FAT slot " + std::to_string(slot) +
                        (header ? ": header entry name is not blank" : ": blank name"));
        const uint32_t length = header ? hl : le32(fat + uint64_t{slot} * kEntry + 0x0C);
        const uint32_t blocks = static_cast<uint32_t>(ceilDiv(length, bs));
        if (uint64_t{nextBlock} + blocks > 0x10000) return fail("\"" + nameType + "\" runs past block 65535");
        if (!header) out_.subfiles.push_back({nameType.substr(0, 8), nameType.substr(8), length, nextBlock});
        for (uint32_t part = 0, done = 0; part == 0 || done < blocks; ++part, ++slot) {
            if (slot >= slots) return fail("FAT ends before the last part of \"" + nameType + "\"");
            const uint32_t here = std::min(blocks - done, kSlotsPerEntry);
            if (!checkEntry(slot, nameType, header, part, here, nextBlock + done)) return false;
            done += here;
        }
        nextBlock += blocks;
        if (header && !zeroRange(hl, std::min<uint64_t>(uint64_t{blocks} * bs, size), "padding after the FAT"))
            return false;
    }
    if (!zeroRange(fat + uint64_t{slot} * kEntry, hl, "free FAT slots after the last used entry")) return false;

    if (size < uint64_t{nextBlock} * bs || (opt_.strictFile && size != uint64_t{nextBlock} * bs))
        return fail("file is " + std::to_string(size) + " bytes, expected " + std::to_string(nextBlock) +
                    " blocks of " + std::to_string(bs) + " = " + std::to_string(uint64_t{nextBlock} * bs));
    for (const VerifiedSubfile& s : out_.subfiles) {
        const uint64_t from = uint64_t{s.firstBlock} * bs;
        if (!zeroRange(from + s.size, from + ceilDiv(s.size, bs) * bs, "padding after " + s.fullName())) return false;
    }
    return true;
}

std::string trimmed(const std::string& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }

// "NAME.TYP" or the 11 stored bytes -> the 11 stored bytes.
std::string storedName(const std::string& n) {
    if (const size_t dot = n.find('.'); dot != std::string::npos) {
        const std::string name = n.substr(0, dot), type = n.substr(dot + 1);
        if (name.size() <= 8 && type.size() <= 3)
            return name + std::string(8 - name.size(), ' ') + type + std::string(3 - type.size(), ' ');
    }
    return n;
}

}  // namespace

std::string VerifiedSubfile::fullName() const { return trimmed(name) + "." + trimmed(type); }

const VerifiedSubfile* VerifiedImg::find(const std::string& n) const {
    const std::string want = storedName(n);
    for (const VerifiedSubfile& s : subfiles)
        if (s.name + s.type == want) return &s;
    return nullptr;
}

bool verifyImg(const std::vector<uint8_t>& file, VerifiedImg& out, std::string& error,
               const ImgVerifyOptions& options) {
    Checker c(file, options, out);
    const bool ok = c.run();
    error = c.error;
    return ok;
}

std::vector<uint8_t> subfileBytes(const std::vector<uint8_t>& file, const VerifiedImg& img, const std::string& name11) {
    const VerifiedSubfile* s = img.find(name11);
    if (!s) throw std::out_of_range("no subfile " + name11 + " in the container");
    const uint64_t from = uint64_t{s->firstBlock} * img.blockSize;
    if (from + s->size > file.size()) throw std::out_of_range(name11 + " runs past the end of the file");
    return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(from),
                                file.begin() + static_cast<std::ptrdiff_t>(from + s->size));
}
