// Runs the in-place edits on arbitrary bytes (seeded with the real fixtures)
// held in memory, and checks what an edit may never do: grow or shrink the
// file, or change a byte outside the header fields, the FAT names and
// lengths, and the blocks the FAT gives to subfiles.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/message.h"
#include "edit/edit.h"
#include "img/model/input_reader.h"
#include "support/test_file_system.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool headerField(std::uint64_t i) {
    return (i >= 0x08 && i <= 0x0F) || (i >= 0x39 && i <= 0x3F) || (i >= 0x49 && i <= 0x5C) || (i >= 0x65 && i <= 0x82);
}

// Which bytes of a container an edit may change, from its FAT as stored.
std::vector<bool> writable(const Bytes& file, const ImgHeader& img) {
    std::vector<bool> ok(file.size(), false);
    const std::uint8_t x = static_cast<std::uint8_t>(img.xorMask);
    const std::uint64_t end = std::min<std::uint64_t>(img.headerLength, file.size());
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(0x200, file.size()); ++i) ok[i] = headerField(i);
    for (std::uint64_t e = img.fatStart; e + 512 <= end; e += 512) {
        for (std::uint64_t k = 1; k <= 8; ++k) ok[e + k] = true;
        for (std::uint64_t k = 0x0C; k <= 0x0F; ++k) ok[e + k] = true;
        for (std::uint64_t k = 0x20; k + 1 < 512; k += 2) {
            const std::uint32_t block = (file[e + k] ^ x) | (file[e + k + 1] ^ x) << 8;
            const std::uint64_t from = std::uint64_t{block} * img.blockSize;
            if (block == 0xFFFF) break;
            for (std::uint64_t i = std::max(from, img.headerLength); i < from + img.blockSize && i < file.size(); ++i)
                ok[i] = true;
        }
    }
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The last two bytes choose the name and the edits, so real files make good seeds.
    if (size < 2) return 0;
    const std::uint8_t a = data[size - 2], b = data[size - 1];
    size -= 2;
    static const char* const names[] = {"f.img", "f.typ", "f.TRE", "f.md2"};
    const std::string path = names[a & 3];
    const Bytes original(data, data + size);
    InstalledFileSystem fs;
    fs.addFile(path, original);
    InputList inputs;
    InputFile& input = inputs.emplace_back();
    input.path = path;
    if (!readInput(input, {})) return 0;

    EditSettings s;
    s.verbose = a & 4;
    if (a & 8) s.familyId = b & 1 ? 7001 : 0;
    s.refreshDate = b & 2;
    s.versionMode = b & 4 ? 7 : 0, s.versionMajor = 2, s.versionMinor = 5, s.mapsourceFlag = 1;
    if (b & 8) s.mapsetName = std::string(a & 0x10 ? 50 : 3, 'n');
    if (b & 0x10) s.priority = 20, s.transparency = a & 0x20 ? 1 : 255;
    if (b & 0x20) s.mapIdMode = a & 0x40 ? 2 : 1, s.newMapId = 100;
    s.labelCase = (b >> 6) & 3;
    if (a & 0x80) s.typMode = 7, s.typFamilyId = 100, s.typProductId = 2, s.typCodePage = 1250;
    const std::vector<bool> ok = input.isContainer() ? writable(original, input.img) : std::vector<bool>(size, true);
    writeChanges(inputs, s);

    const Bytes after = fs.bytes(path);
    if (after.size() != original.size()) std::abort();
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i] != original[i] && !ok[i]) std::abort();
    return 0;
}
