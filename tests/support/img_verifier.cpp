#include "support/img_verifier.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kEntry = 512;
constexpr uint32_t kSlotsPerEntry = 240;
constexpr uint16_t kUnusedSlot = 0xFFFF;
constexpr uint64_t kMiB = 1024 * 1024;

std::string hex(uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << v;
    return s.str();
}

// Reads the container as plain bytes (XOR undone) and records the first
// violation; every check below goes through fail() so that the message says
// where the problem is.
class Checker {
   public:
    Checker(const std::vector<uint8_t>& stored, const ImgVerifyOptions& o, VerifiedImg& out)
        : stored_(stored), plain_(stored), opt_(o), out_(out) {}

    bool run();
    const std::string& error() const { return error_; }

   private:
    uint8_t at(uint64_t o) const { return plain_[o]; }
    uint16_t le16(uint64_t o) const { return static_cast<uint16_t>(at(o) | at(o + 1) << 8); }
    uint32_t le32(uint64_t o) const { return uint32_t{le16(o)} | uint32_t{le16(o + 2)} << 16; }
    std::string text(uint64_t o, size_t n) const {
        return std::string(plain_.begin() + static_cast<std::ptrdiff_t>(o),
                           plain_.begin() + static_cast<std::ptrdiff_t>(o + n));
    }
    bool allZero(uint64_t from, uint64_t to) const {
        return std::all_of(plain_.begin() + static_cast<std::ptrdiff_t>(from),
                           plain_.begin() + static_cast<std::ptrdiff_t>(to), [](uint8_t b) { return b == 0; });
    }
    bool fail(const std::string& what) {
        if (error_.empty()) error_ = what;
        return false;
    }
    bool expectByte(uint64_t o, uint8_t want, const char* what) {
        if (at(o) == want) return true;
        return fail(std::string(what) + ": byte " + hex(o) + " is " + hex(at(o)) + ", expected " + hex(want));
    }
    bool expect16(uint64_t o, uint32_t want, const char* what) {
        if (le16(o) == want) return true;
        return fail(std::string(what) + ": u16 at " + hex(o) + " is " + std::to_string(le16(o)) + ", expected " +
                    std::to_string(want));
    }
    bool zeroRange(uint64_t from, uint64_t to, const std::string& what) {
        for (uint64_t o = from; o < to; ++o)
            if (at(o) != 0) return fail(what + ": byte " + hex(o) + " is " + hex(at(o)) + ", expected 0");
        return true;
    }

    bool checkSum();
    bool checkSignatures();
    bool checkStrictHeader();
    bool checkFat();
    bool checkEntryTail(uint64_t o, size_t slot, uint32_t blocksHere, uint32_t firstBlock);

    const std::vector<uint8_t>& stored_;
    std::vector<uint8_t> plain_;
    const ImgVerifyOptions& opt_;
    VerifiedImg& out_;
    std::string error_;
};

bool Checker::run() {
    if (stored_.size() < kSector)
        return fail("file of " + std::to_string(stored_.size()) + " bytes, shorter than the header sector");
    out_ = VerifiedImg{};
    out_.xorByte = stored_[0];
    if (out_.xorByte != 0) {
        if (opt_.strictFile) return fail("XOR byte is " + hex(out_.xorByte) + ", written files use 0");
        for (size_t i = 1; i < plain_.size(); ++i) plain_[i] ^= out_.xorByte;
        plain_[0] = 0;
    }
    return checkSum() && checkSignatures() && checkStrictHeader() && checkFat();
}

bool Checker::checkSum() {
    if (!opt_.strictFile) return true;
    unsigned sum = 0;
    for (uint8_t b : stored_) sum += b;
    if (sum % 256 != 0)
        return fail("bytes sum to " + std::to_string(sum % 256) + " mod 256, expected 0 (checksum byte 0x0F)");
    return true;
}

bool Checker::checkSignatures() {
    if (text(0x10, 6) != "DSKIMG") return fail("no \"DSKIMG\" at 0x10");
    if (text(0x41, 6) != "GARMIN") return fail("no \"GARMIN\" at 0x41");
    if (!expectByte(0x16, 0, "signature terminator") || !expectByte(0x47, 0, "after the GARMIN signature") ||
        !expectByte(0x48, 0, "after the GARMIN signature") || !expectByte(0x61, 9, "first block exponent") ||
        !expectByte(0x1FE, 0x55, "boot signature") || !expectByte(0x1FF, 0xAA, "boot signature"))
        return false;
    const uint8_t e = at(0x62);
    // Past 2^15 blocks are larger than any sane container and 512 << e overflows soon after.
    if (e > 15) return fail("block exponent " + std::to_string(e) + " at 0x62 is absurd");
    out_.blockSize = kSector << e;
    if (at(0x40) == 0) return fail("FAT start sector at 0x40 is 0, the FAT would overlap the header");
    out_.fatStart = at(0x40) * kSector;

    // Both description fields are blank padded; a NUL shows a C string copied without padding.
    const std::string d = text(0x49, 20) + text(0x65, 30);
    if (const size_t nul = d.find('\0'); nul != std::string::npos)
        return fail("NUL in the description at " + hex(nul < 20 ? 0x49 + nul : 0x65 + nul - 20) +
                    ", expected blank padding");
    out_.description = d.substr(0, d.find_last_not_of(' ') + 1);

    out_.updateMonth = at(0x0A);
    out_.updateYear = at(0x0B);
    out_.year = le16(0x39);
    out_.month = at(0x3B);
    out_.day = at(0x3C);
    out_.hour = at(0x3D);
    out_.minute = at(0x3E);
    out_.second = at(0x3F);
    out_.sectorsPerTrack = le16(0x18);
    out_.heads = le16(0x1A);
    out_.cylinders = le16(0x1C);
    return true;
}

bool Checker::checkStrictHeader() {
    if (!opt_.strictHeader) return true;
    if (!expectByte(0x17, 2, "fixed header byte")) return false;
    if (out_.updateMonth < 1 || out_.updateMonth > 12)
        return fail("update month at 0x0A is " + std::to_string(out_.updateMonth));
    if (out_.month < 1 || out_.month > 12) return fail("creation month at 0x3B is " + std::to_string(out_.month));
    if (out_.day < 1 || out_.day > 31) return fail("creation day at 0x3C is " + std::to_string(out_.day));
    if (out_.hour > 23 || out_.minute > 59 || out_.second > 59)
        return fail("creation time at 0x3D-0x3F is out of range");
    if (out_.year < 1900) return fail("creation year at 0x39 is " + std::to_string(out_.year));

    const ImgGeometry g = expectedImgGeometry(plain_.size());
    return expect16(0x18, g.sectorsPerTrack, "sectors per track") && expect16(0x1A, g.heads, "heads") &&
           expect16(0x1C, g.cylinder + 1, "cylinders") && expect16(0x5D, g.heads, "heads (second copy)") &&
           expect16(0x5F, g.sectorsPerTrack, "sectors per track (second copy)") &&
           expect16(0x63, expectedImgBlockCountField(g, at(0x62)), "block count") &&
           expectByte(0x1C0, 1, "partition start sector") &&
           expectByte(0x1C3, static_cast<uint8_t>(g.heads - 1), "partition last head") &&
           expectByte(0x1C4, static_cast<uint8_t>(g.sectorsPerTrack | ((g.cylinder & 0x300) >> 2)),
                      "partition last sector and cylinder bits 8-9") &&
           expectByte(0x1C5, static_cast<uint8_t>(g.cylinder & 0xFF), "partition last cylinder") &&
           (le32(0x1CA) == g.partitionSectors ||
            fail("partition sectors: u32 at 0x1CA is " + std::to_string(le32(0x1CA)) + ", expected " +
                 std::to_string(g.partitionSectors)));
}

// Bytes 0x12-0x1F must be zero and the block slots past the used ones
// 0xFFFF; the used ones must run on from firstBlock.
bool Checker::checkEntryTail(uint64_t o, size_t slot, uint32_t blocksHere, uint32_t firstBlock) {
    const std::string where = "FAT slot " + std::to_string(slot);
    if (!zeroRange(o + 0x12, o + 0x20, where + " reserved bytes")) return false;
    for (uint32_t i = 0; i < kSlotsPerEntry; ++i) {
        const uint16_t b = le16(o + 0x20 + 2 * i);
        if (i < blocksHere) {
            if (b != firstBlock + i)
                return fail(where + " block " + std::to_string(i) + " is " + std::to_string(b) + ", expected " +
                            std::to_string(firstBlock + i) + " (blocks must follow on without gaps or reuse)");
        } else if (b != kUnusedSlot) {
            return fail(where + " unused block slot " + std::to_string(i) + " is " + std::to_string(b) +
                        ", expected 0xFFFF");
        }
    }
    return true;
}

bool Checker::checkFat() {
    const uint64_t size = plain_.size();
    const uint32_t bs = out_.blockSize;
    const uint32_t fat = out_.fatStart;
    if (fat + kEntry > size) return fail("FAT at " + hex(fat) + " lies beyond the end of the file");
    if (!zeroRange(kSector, fat, "gap between the header sector and the FAT")) return false;

    // The header entry: blank name, mark 3, its size is the header length.
    const std::string blank(11, ' ');
    if (!expectByte(fat, 1, "header entry flag")) return false;
    if (text(fat + 1, 11) != blank) return fail("header entry name is not blank");
    if (!expectByte(fat + 0x10, 3, "header entry mark") || !expectByte(fat + 0x11, 0, "header entry part"))
        return false;
    const uint32_t hl = le32(fat + 0x0C);
    if (hl < fat + kEntry || (hl - fat) % kEntry != 0)
        return fail("header length " + std::to_string(hl) + " does not end the FAT on a whole entry after " + hex(fat));
    if (hl > size) return fail("header length " + std::to_string(hl) + " is beyond the end of the file");
    out_.headerLength = hl;
    out_.fatSlots = (hl - fat) / kEntry;
    out_.headerBlocks = static_cast<uint32_t>((uint64_t{hl} + bs - 1) / bs);

    struct Run {
        std::string nameType;  // 11 bytes; blank for the header entry
        uint32_t blocks = 0, done = 0, first = 0;
        uint8_t nextPart = 0;
        size_t index = 0;  // into out_.subfiles, or SIZE_MAX for the header
    };
    Run run{blank, out_.headerBlocks, 0, 0, 0, SIZE_MAX};
    uint32_t nextBlock = 0;  // the block the next run must start at
    size_t slot = 0;

    // Finishes the entry that `run` is at; true when the run is complete.
    auto takeEntry = [&](uint64_t o) -> bool {
        const uint32_t here = std::min(run.blocks - run.done, kSlotsPerEntry);
        if (!checkEntryTail(o, slot, here, run.first + run.done)) return false;
        run.done += here;
        ++run.nextPart;
        if (run.index != SIZE_MAX) ++out_.subfiles[run.index].entries;
        return true;
    };

    // Entry 0 and its continuations.
    for (;; ++slot) {
        if (slot >= out_.fatSlots) return fail("FAT ends inside the header entries");
        const uint64_t o = fat + uint64_t{slot} * kEntry;
        if (slot > 0) {
            if (!expectByte(o, 1, "header continuation flag")) return false;
            if (text(o + 1, 11) != blank)
                return fail("FAT slot " + std::to_string(slot) + ": header continuation name is not blank");
            if (le32(o + 0x0C) != 0)
                return fail("FAT slot " + std::to_string(slot) + ": header continuation has a size");
            if (!expectByte(o + 0x10, 0, "header continuation mark") ||
                !expectByte(o + 0x11, run.nextPart, "header continuation part"))
                return false;
        }
        if (!takeEntry(o)) return false;
        if (run.done == run.blocks) break;
    }
    nextBlock = out_.headerBlocks;
    if (!zeroRange(hl, std::min<uint64_t>(uint64_t{out_.headerBlocks} * bs, size), "padding after the FAT"))
        return false;

    // Subfiles until the first free slot, then nothing but zeros.
    for (++slot; slot < out_.fatSlots; ++slot) {
        const uint64_t o = fat + uint64_t{slot} * kEntry;
        const std::string where = "FAT slot " + std::to_string(slot);
        if (at(o) == 0) break;
        if (at(o) != 1) return fail(where + " flag is " + hex(at(o)) + ", expected 1 or a free slot");
        const std::string nt = text(o + 1, 11);
        const uint8_t part = at(o + 0x11);
        if (!expectByte(o + 0x10, 0, (where + " mark").c_str())) return false;
        if (run.done < run.blocks) {  // a continuation of the current subfile
            if (nt != run.nameType)
                return fail(where + ": expected part " + std::to_string(run.nextPart) + " of " + run.nameType +
                            ", found " + nt);
            if (part != run.nextPart)
                return fail(where + ": part " + std::to_string(part) + " of " + nt + ", expected " +
                            std::to_string(run.nextPart));
            if (le32(o + 0x0C) != 0) return fail(where + ": continuation of " + nt + " has a size, expected 0");
            if (!takeEntry(o)) return false;
            continue;
        }
        // The first entry of a new subfile.
        if (part != 0) return fail(where + ": " + nt + " starts with part " + std::to_string(part) + ", expected 0");
        if (nt == blank) return fail(where + ": subfile with a blank name");
        VerifiedSubfile s;
        s.name = nt.substr(0, 8);
        s.type = nt.substr(8);
        s.size = le32(o + 0x0C);
        s.firstBlock = nextBlock;
        s.blockCount = static_cast<uint32_t>((uint64_t{s.size} + bs - 1) / bs);
        s.fatIndex = slot;
        if (uint64_t{nextBlock} + s.blockCount > 0x10000) return fail(where + ": " + nt + " runs past block 65535");
        out_.subfiles.push_back(s);
        run = Run{nt, s.blockCount, 0, nextBlock, 0, out_.subfiles.size() - 1};
        if (!takeEntry(o)) return false;
        nextBlock += s.blockCount;
    }
    if (run.done < run.blocks)
        return fail("FAT ends before the last part of " +
                    (run.index == SIZE_MAX ? std::string("the header") : run.nameType));
    out_.usedEntries = static_cast<uint32_t>(slot);
    for (uint64_t free = slot; free < out_.fatSlots; ++free)
        if (!allZero(fat + free * kEntry, fat + (free + 1) * kEntry))
            return fail("FAT slot " + std::to_string(free) + " after the last used entry is not all zeros");

    out_.totalBlocks = nextBlock;
    if (size < uint64_t{nextBlock} * bs || (opt_.strictFile && size != uint64_t{nextBlock} * bs))
        return fail("file is " + std::to_string(size) + " bytes, expected " + std::to_string(nextBlock) +
                    " blocks of " + std::to_string(bs) + " = " + std::to_string(uint64_t{nextBlock} * bs));
    for (const VerifiedSubfile& s : out_.subfiles) {
        const uint64_t end = uint64_t{s.firstBlock} * bs + s.size;
        if (!zeroRange(end, uint64_t{s.firstBlock + s.blockCount} * bs, "padding after " + s.fullName())) return false;
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

ImgGeometry expectedImgGeometry(uint64_t fileSize) {
    ImgGeometry g;
    g.heads = fileSize >= 64 * kMiB ? 256 : 16;
    g.sectorsPerTrack = fileSize >= 16 * kMiB ? 32 : 8;
    const uint64_t sectors = (fileSize + kSector - 1) / kSector;
    g.cylinder = static_cast<uint32_t>(sectors / (uint64_t{g.heads} * g.sectorsPerTrack));
    g.partitionSectors = static_cast<uint32_t>(uint64_t{g.heads} * g.sectorsPerTrack * (g.cylinder + 1ull));
    return g;
}

uint16_t expectedImgBlockCountField(const ImgGeometry& g, unsigned blockExponent) {
    const uint16_t n = static_cast<uint16_t>(g.partitionSectors >> blockExponent);
    return n == 0 ? 0xFFFF : n;
}

bool verifyImg(const std::vector<uint8_t>& file, VerifiedImg& out, std::string& error,
               const ImgVerifyOptions& options) {
    Checker c(file, options, out);
    const bool ok = c.run();
    error = ok ? std::string() : c.error();
    return ok;
}

std::vector<uint8_t> subfileBytes(const std::vector<uint8_t>& file, const VerifiedImg& img, const std::string& name11) {
    const VerifiedSubfile* s = img.find(name11);
    if (!s) throw std::out_of_range("no subfile " + name11 + " in the container");
    const uint64_t from = uint64_t{s->firstBlock} * img.blockSize;
    if (from + s->size > file.size()) throw std::out_of_range(name11 + " runs past the end of the file");
    std::vector<uint8_t> bytes(file.begin() + static_cast<std::ptrdiff_t>(from),
                               file.begin() + static_cast<std::ptrdiff_t>(from + s->size));
    if (img.xorByte != 0)
        for (uint8_t& b : bytes) b ^= img.xorByte;
    return bytes;
}
