#include "common/message.h"
#include "edit/edit.h"
#include "edit/header_edits.h"
#include "edit/label_case.h"
#include "edit/renumber.h"
#include "edit/typ_edit.h"
#include "img/format/catalogue.h"

namespace {

constexpr Msg kMismatch{"Write, FID mismatch, map skiped %s.\n", "Wpis, niezgodny FID, pominięta mapa %s.\n"};
constexpr Msg kWriteInto{"Write into map %s.\n", "Wpis w mapie %s.\n"};
constexpr Msg kSeparateTrf{"\n== Warning: Changing MID in separate TRF subfile is unsupported, file %s.\n== no changes made.\n\n",
                           "\n== Ostrzeżenie: Zmiana MID w osobnym podzbiorze TRF nie jest realizowana, plik %s.\n== zmiana nie wyknona.\n\n"};
constexpr Msg kSeparateMmr{"\n== Warning: changing MID in MMR subfile is unsupported, file %s.\n== no changes made.\n\n",
                           "\n== Ostrzeżenie: zmiana MID w podzbiorze MMR nie jest realizowana, plik %s.\n== zmiana nie wyknona.\n\n"};
constexpr Msg kSeparateMd2{"\n== Warning: changing MID in MD2 subfile is unsupported, file %s.\n== no changes made.\n\n",
                           "\n== Ostrzeżenie: zmiana MID w podzbiorze MD2 nie jest realizowana, plik %s.\n== zmiana nie wyknona.\n\n"};

// What of a file carries the -f IDs (bits): 1 a TYP, TRF, MMR or MD2 header
// (or a stand-alone file's own IDs), 4 an 'L', 8 a 'P', 16 an 'F' record.
constexpr unsigned matchHeader = 1, matchMap = 4, matchProduct = 8, matchFamily = 16, matchAll = 31;

bool idsMatch(const EditSettings& s, std::uint32_t family, std::uint32_t product) {
    return (s.familyId < 0 || family == s.familyId) && (s.productId < 0 || product == s.productId);
}

unsigned matchFid(const InputFile& input, const EditSettings& s) {
    if (s.familyId < 0 && s.productId < 0) return matchAll;
    if (!input.isContainer()) return idsMatch(s, input.fid, input.pid) ? matchHeader : 0;
    unsigned result = 0;
    for (int m : input.mapList)
        if (const AuxInfo* aux = mapAux(input, input.maps[m]); aux && idsMatch(s, aux->fid, aux->pid)) result |= matchHeader;
    for (const MpsRecord& r : input.mpsRecords) {
        std::uint16_t family = 0, product = 0;
        if (!recordIds(input.mpsData, r, family, product) || !idsMatch(s, family, product)) continue;
        if (r.type == 'F') result |= matchFamily;
        if (r.type == 'P') result |= matchProduct;
        if (r.type == 'L') result |= matchMap;
    }
    return result;
}

bool editContainer(InputFile& input, const EditSettings& s, std::uint32_t& nextMapId) {
    bool ok = true;
    if (s.refreshDate || s.versionMode) ok = editHeader(input, s) && ok;
    if (s.mapsetName) {
        ok = writeMpsMapsetName(input, s) && ok;
        ok = writeHeaderMapsetName(input, s) && ok;
    }
    if (s.priority != 255 || s.transparency) ok = setPriority(input, s) && ok;
    if (s.mapIdMode) ok = renumberMaps(input, s, nextMapId) && ok;
    if (s.labelCase) ok = changeLabelCase(input, s) && ok;
    if (s.typMode) ok = correctTyp(input, s) && ok;
    return ok;
}

bool editStandalone(InputFile& input, const EditSettings& s) {
    bool ok = true;
    if (s.typMode) ok = correctTyp(input, s) && ok;
    if (s.priority != 255 || s.transparency) ok = setPriorityStandalone(input, s) && ok;
    if (s.mapIdMode) {
        if (input.inputKind == trfData) warn(kSeparateTrf, input.path);
        if (input.inputKind == mmrData) warn(kSeparateMmr, input.path);
        if (input.inputKind == md2Data) warn(kSeparateMd2, input.path);
    }
    return ok;
}

}  // namespace

bool writeChanges(InputList& inputs, const EditSettings& settings) {
    std::uint32_t nextMapId = settings.newMapId;
    bool ok = true;
    for (InputFile& input : inputs) {
        const unsigned match = matchFid(input, settings);
        if (match == 0) {
            say(kMismatch, input.path);
            continue;
        }
        if (settings.verbose) say(kWriteInto, input.path);
        // A container is edited for what its catalogue says, a stand-alone
        // file for its own IDs.
        if (input.isContainer()) {
            if (match & (matchMap | matchProduct | matchFamily)) ok = editContainer(input, settings, nextMapId) && ok;
        } else if (match & matchHeader) {
            ok = editStandalone(input, settings) && ok;
        }
    }
    return ok;
}
