#include "edit/typ_edit.h"

#include <cstdint>

#include "common/bytes.h"
#include "common/message.h"
#include "img/container/patch.h"

namespace {

constexpr Msg kTypCorrected{"TYP correction: file %s, FID %u, PID %u, CP %u\n",
                            "Korekta TYP: plik %s, FID %u, PID %u, CP %u\n"};
constexpr Msg kMultipleTyp{"\n== Warning: multiple TYP subfile in file %s.\n== no changes made.\n\n",
                           "\n== Ostrzeżenie: wiele podzbiorów TYP w pliku %s.\n== zmiana nie wyknona.\n\n"};

constexpr std::uint64_t kCodePageAt = 0x15;
constexpr std::uint64_t kIdsAt = 0x2F;  // family, then product
constexpr std::uint8_t kFamilyBit = 1, kProductBit = 2, kCodePageBit = 4;

struct TypValues {
    std::uint32_t fid = 0, pid = 0, codePage = 0;
};

// The -y bits a TYP can take: a field is written only where both its data
// and its header length reach the field's end, so a short TYP never gets
// bytes beyond its header.
std::uint8_t reachableMode(std::uint8_t mode, std::uint64_t size, std::uint32_t headerLength) {
    auto reaches = [&](std::uint64_t end) { return size >= end && headerLength >= end; };
    if (!reaches(kCodePageAt + 2)) mode &= static_cast<std::uint8_t>(~kCodePageBit);
    if (!reaches(kIdsAt + 4)) mode &= static_cast<std::uint8_t>(~(kFamilyBit | kProductBit));
    return mode;
}

// The values after the edit: those -y gives for the bits of `mode`, the
// TYP's own for the others.
TypValues newValues(const EditSettings& s, std::uint8_t mode, const TypValues& own) {
    return {mode & kFamilyBit ? s.typFamilyId : own.fid, mode & kProductBit ? s.typProductId : own.pid,
            mode & kCodePageBit ? s.typCodePage : own.codePage};
}

// Writes the fields of `mode` through `put(offset, bytes, length)`.
template <class Put>
bool writeFields(std::uint8_t mode, const TypValues& v, Put put) {
    std::uint8_t codePage[2], ids[4];
    putU16(codePage, v.codePage);
    putU16(ids, v.fid);
    putU16(ids + 2, v.pid);
    if ((mode & kCodePageBit) && !put(kCodePageAt, codePage, 2)) return false;
    return !(mode & (kFamilyBit | kProductBit)) || put(kIdsAt, ids, 4);
}

// -f picks the TYPs of its family (and product).
bool filteredOut(const EditSettings& s, std::uint32_t fid, std::uint32_t pid) {
    return (s.familyId >= 0 && s.familyId != fid) || (s.productId >= 0 && s.productId != pid);
}

bool correctStandalone(InputFile& input, const EditSettings& s) {
    if (filteredOut(s, input.fid, input.pid)) return true;
    // Too short for any field: nothing to open the file for.
    if (reachableMode(s.typMode, input.size, 0xFFFF) == 0) return true;
    if (!openContainer(input, OpenMode::update)) return false;
    std::uint8_t length[2];
    if (!readAt(input, length, 0, 2)) {
        closePatched(input);
        return false;
    }
    const std::uint8_t mode = reachableMode(s.typMode, input.size, getU16(length));
    const TypValues v = newValues(s, mode, {input.fid, input.pid, input.codePage});
    const bool ok = writeFields(mode, v, [&](std::uint64_t at, const std::uint8_t* bytes, std::size_t n) {
        return patchStandalone(input, at, bytes, n);
    });
    if (!closePatched(input) || !ok) return false;
    if (mode) say(kTypCorrected, input.path, v.fid, v.pid, v.codePage);
    return true;
}

bool correctContainer(InputFile& input, const EditSettings& s) {
    std::size_t typGroups = 0;
    for (int m : input.mapList)
        if (input.maps[m].kind == typData) ++typGroups;
    if (typGroups == 0) return true;
    // Without -f there is no telling which of several TYPs is meant.
    if (typGroups > 1 && s.familyId < 0 && s.productId < 0) {
        warn(kMultipleTyp, input.path);
        return true;
    }
    if (!openContainer(input, OpenMode::update)) return false;
    for (int m : input.mapList) {
        const MapEntry& map = input.maps[m];
        const AuxInfo* aux = map.kind == typData ? mapAux(input, map) : nullptr;
        if (!aux || filteredOut(s, aux->fid, aux->pid)) continue;
        const std::uint32_t headerLength = aux->header.size() >= 2 ? getU16(aux->header.data()) : 0;
        const std::uint8_t mode = reachableMode(s.typMode, aux->subfileSize, headerLength);
        if (mode == 0) continue;
        const TypValues v = newValues(s, mode, {aux->fid, aux->pid, aux->codePage});
        const bool ok = writeFields(mode, v, [&](std::uint64_t at, const std::uint8_t* bytes, std::size_t n) {
            return patchSubfile(input, aux->firstFat, at, bytes, n);
        });
        if (!ok) {
            closePatched(input);
            return false;
        }
        say(kTypCorrected, input.path, v.fid, v.pid, v.codePage);
    }
    return closePatched(input);
}

}  // namespace

bool correctTyp(InputFile& input, const EditSettings& settings) {
    if (settings.typFamilyId == 0 && settings.typProductId == 0 && settings.typCodePage == 0) return true;
    if (input.inputKind == typData) return correctStandalone(input, settings);
    if (input.inputKind != noKind || !input.hasContainer()) return true;
    return correctContainer(input, settings);
}
