#include <algorithm>
#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "edit/typ_edit.h"
#include "img/container/patch.h"

namespace {

constexpr Msg kNoPlace{"No place to insert mapset name, file %s.\n",
                       "Brak miejsca w pliku %s na wstawienie nazwy mapsetu.\n"};
constexpr Msg kNameWritten{"File %s write mapset name [%.50s] into MPS subfile.\n",
                           "Plik %s zapis nazwy mapsetu [%.50s] w podzbiorze MPS.\n"};

constexpr std::size_t kMaxName = 50;
constexpr std::uint32_t kPrefix = 3;  // letter and body length
constexpr std::uint32_t kEnd = 2;     // the two NULs behind the name

// Writes the catalogue's first `length` bytes (after a shrink also the freed
// bytes, zeroed); the FAT length changes first when it grows, so the write
// stays within the subfile, and last when it shrinks, so the bytes written
// are always inside the length in the FAT.
bool writeCatalogue(InputFile& input, std::uint32_t firstFat, const std::vector<std::uint8_t>& data,
                    std::uint32_t length) {
    if (length > input.mpsLength && !patchFatLength(input, firstFat, length)) return false;
    if (!patchSubfile(input, firstFat, 0, data.data(), std::max(length, input.mpsLength))) return false;
    return length >= input.mpsLength || patchFatLength(input, firstFat, length);
}

}  // namespace

bool writeMpsMapsetName(InputFile& input, const EditSettings& settings) {
    if (!settings.mapsetName || input.inputKind != noKind || !input.hasContainer()) return true;
    // No catalogue: the header alone takes the name.
    if (input.mpsMap < 0 || input.mpsData.empty() || input.mpsLength == 0) return true;
    const auto v = std::find_if(input.mpsRecords.begin(), input.mpsRecords.end(),
                                [](const MpsRecord& r) { return r.type == 'V'; });
    if (v == input.mpsRecords.end() || v->length < kPrefix || v->offset + v->length > input.mpsLength) return true;

    const std::string& name = *settings.mapsetName;
    const std::uint32_t n = static_cast<std::uint32_t>(std::min(kMaxName, name.size()));
    const std::int64_t d = std::int64_t{n} + kPrefix + kEnd - v->length;  // the catalogue's growth
    if (d > 0 && d > input.mpsPad) {
        say(kNoPlace, input.path);
        return false;
    }
    // Shrinking must leave data in the last block, or the block count and
    // with it the FAT would change: then the record keeps its length.
    const std::uint32_t blockSize = input.img.blockSize;
    const std::uint32_t inLastBlock = blockSize ? input.mpsLength % blockSize : 0;
    const bool keepLength = d < 0 && d + inLastBlock < 1;
    const std::uint32_t newLength = static_cast<std::uint32_t>(keepLength ? input.mpsLength : input.mpsLength + d);

    std::vector<std::uint8_t> data;
    if (!allocChecked(data, std::max<std::size_t>(input.mpsData.size(), newLength))) return false;
    std::copy(input.mpsData.begin(), input.mpsData.end(), data.begin());
    std::uint8_t* body = data.data() + v->offset + kPrefix;
    if (keepLength) {
        const std::uint32_t bodyLength = v->length - kPrefix;
        std::memset(body, ' ', bodyLength - kEnd);
        std::memset(body + bodyLength - kEnd, 0, kEnd);
    } else {
        const std::uint32_t recordEnd = v->offset + v->length;
        std::memmove(data.data() + recordEnd + d, data.data() + recordEnd, input.mpsLength - recordEnd);
        // What a shrink leaves behind becomes padding again.
        if (d < 0) std::memset(data.data() + newLength, 0, static_cast<std::size_t>(-d));
        std::memset(body + n, 0, kEnd);
        putU16(data.data() + v->offset + 1, n + kEnd);
    }
    std::memcpy(body, name.data(), n);

    MapEntry& map = input.maps[input.mapList[input.mpsMap]];
    Subfile& catalogue = input.subfiles[map.firstSubfile];
    if (!openContainer(input, OpenMode::update)) return false;
    if (!writeCatalogue(input, catalogue.firstFat, data, newLength)) {
        closePatched(input);
        return false;
    }
    if (!closePatched(input)) return false;

    // Later edits of the run read and write the catalogue as it now is.
    input.mpsData.swap(data);
    if (!keepLength) {
        for (auto r = v + 1; r != input.mpsRecords.end(); ++r) r->offset = static_cast<std::uint32_t>(r->offset + d);
        v->length = n + kPrefix + kEnd;
        input.mpsLength = newLength;
        input.mpsPad = static_cast<std::uint32_t>(input.mpsPad - d);
        catalogue.size = newLength;
        map.totalSize = static_cast<std::uint64_t>(static_cast<std::int64_t>(map.totalSize) + d);
    }
    say(kNameWritten, input.path, name);
    return true;
}
