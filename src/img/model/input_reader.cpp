#include "img/model/input_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/bytes.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "common/text.h"
#include "img/container/container_reader.h"
#include "img/model/catalogue_links.h"
#include "img/model/map_grouping.h"

namespace {

constexpr Msg kNotImg{"Wrong header (DSKIMG GARMIN), file %s.\n", "Zły format nagłówka (DSKIMG GARMIN) pliku %s.\n"};

bool endsWithNoCase(std::string_view path, std::string_view ext) {
    if (path.size() < ext.size()) return false;
    for (std::size_t i = 0; i < ext.size(); ++i) {
        char c = path[path.size() - ext.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ext[i]) return false;
    }
    return true;
}

bool signatureAt2(const std::vector<std::uint8_t>& probe, const char* sig) {
    return probe.size() >= 12 && std::memcmp(probe.data() + 2, sig, 10) == 0;
}

// Recognises an input that holds one subfile; false (message printed) when it
// is not accepted.
bool classifySingle(InputFile& input, const std::vector<std::uint8_t>& probe, bool useOtherData) {
    const std::size_t n = probe.size();
    const std::uint8_t* b = probe.data();
    const std::string_view path = input.path;
    const std::uint32_t headerLength = n >= 2 ? getU16(b) : 0;
    input.rawLength = input.size;

    if (path.size() < 4) {
        // Too short to carry an extension: never taken as a subfile.
    } else if (endsWithNoCase(path, ".typ") && n >= 18 && signatureAt2(probe, "GARMIN TYP")) {
        input.inputKind = typData;
        input.detectedType = typeTyp;
        if (n >= 51 && headerLength >= 51) {
            input.fid = getU16(b + 0x2F);
            input.pid = getU16(b + 0x31);
            input.codePage = getU16(b + 0x15);
        }
        return true;
    } else if (endsWithNoCase(path, ".trf") && n >= 18 && signatureAt2(probe, "GARMIN TRF")) {
        input.inputKind = trfData;
        input.detectedType = typeTrf;
        if (n >= 41 && headerLength >= 41) input.codePage = getU16(b + 0x27);
        return true;
    } else if (endsWithNoCase(path, ".mmr") && n >= 18 && signatureAt2(probe, "GARMIN MMR")) {
        input.inputKind = mmrData;
        input.detectedType = typeMmr;
        if (n >= 142 && headerLength >= 142) input.codePage = getU16(b + 0x8C);
        return true;
    } else if (endsWithNoCase(path, ".md2") && n >= 4 && getU32(b) == 236) {
        input.inputKind = md2Data;
        input.detectedType = typeMd2;
        return true;
    } else {
        static const char* const signatures[] = {"GARMIN TRE", "GARMIN RGN", "GARMIN LBL", "GARMIN NET", "GARMIN NOD",
                                                 "GARMIN DEM", "GARMIN GMP", "GARMIN MDR", "GARMIN SRT", "GARMIN MMR"};
        if (n >= 32)
            for (const char* sig : signatures)
                if (signatureAt2(probe, sig)) {
                    input.inputKind = otherData;
                    input.detectedType = subfileTypeOf(sig + 7);
                    return true;
                }
        if (useOtherData) {
            input.inputKind = otherData;
            input.detectedType = typeNone;
            return true;
        }
    }
    say(kNotImg, input.path);
    return false;
}

// The record that stands for a single-subfile input, and its headers. Bad
// data in a header leaves the input as it is; a header that cannot be read
// rejects it, since what is made of it would depend on that read.
bool setUpSingle(InputFile& input) {
    Subfile& s = input.single;
    s.type = input.detectedType;
    std::string_view base = baseName(std::string_view(input.path));
    std::memset(s.name.c, ' ', 11);
    for (std::size_t i = 0; i < base.size() && i < 8; ++i) {
        unsigned char c = static_cast<unsigned char>(base[i]);
        if (c == '.' || c < 32) break;
        s.name.c[i] = static_cast<char>(c);
    }
    std::memcpy(s.name.c + 8, typeName(s.type), 3);
    s.size = input.rawLength;
    s.firstFat = 0;
    // A single subfile whose header cannot be read is still carried as it is.
    const SubfileSource source = sourceOf(input, s);
    switch (s.type) {
    case typeTyp: case typeTrf: case typeMmr: case typeMd2: {
        bool badSignature = false;
        if (readAuxInfo(source, s.type, s.aux, badSignature) == HeaderRead::failed) return false;
        if (badSignature) {
            s.type = typeOther;
            s.bad = 1;
            input.detectedType = typeOther;
        }
        if (s.aux) {
            input.fid = s.aux->fid;
            input.pid = s.aux->pid;
            input.codePage = s.aux->codePage;
        }
        break;
    }
    case typeDem: case typeLbl: case typeTre: case typeGmp:
        if (readTreInfo(source, s.type, s.tre, s.gmpParts) == HeaderRead::failed ||
            readLblInfo(source, s.type, s.lbl) == HeaderRead::failed ||
            readDemInfo(source, s.type, s.dem) == HeaderRead::failed)
            return false;
        break;
    default:
        break;
    }
    return true;
}

bool readImg(InputFile& input, bool verbose) {
    if (!analyseFat(input)) {
        input.status = 4;
        return false;
    }
    if (!groupMaps(input)) {
        input.status = 5;
        return false;
    }
    if (!readMpsData(input)) {
        input.status = 6;
        return false;
    }
    if (!parseMps(input, verbose)) {
        input.status = 7;
        return false;
    }
    return true;
}

}  // namespace

bool readInput(InputFile& input, const ReadSettings& settings) {
    if (!openContainer(input, OpenMode::read)) {
        input.status = 1;
        return false;
    }
    // Outputs are told apart from inputs by identity; an input whose identity
    // cannot be had could not be protected.
    input.identityKnown = fileSystem().identity(input.path, input.identity) == Lookup::found;
    if (!input.identityKnown) {
        reportOpenError(input.path);
        input.status = 1;
        closeContainer(input);
        return false;
    }
    if (!input.handle->size(input.size)) {
        reportSeekError(input.path);
        input.size = ~std::uint64_t{0};
        input.status = 2;
        closeContainer(input);
        return false;
    }

    std::vector<std::uint8_t> probe;
    bool ok = true;
    switch (readContainer(input, probe, settings.verbose)) {
    case ContainerResult::accepted:
        ok = readImg(input, settings.verbose);
        break;
    case ContainerResult::notImg:
        input.img = ImgHeader{};
        if (!classifySingle(input, probe, settings.useOtherData)) {
            input.status = 3;
            ok = false;
        } else if (input.detectedType != typeNone && !setUpSingle(input)) {
            input.status = 4;
            ok = false;
        }
        break;
    case ContainerResult::failed:
        input.status = 3;
        ok = false;
        break;
    }
    closeContainer(input);
    if (ok) input.status = 0;
    return ok;
}
