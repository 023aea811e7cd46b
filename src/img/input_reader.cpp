#include "img/input_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/file_ops.h"
#include "common/message.h"
#include "common/options.h"
#include "common/text.h"
#include "img/container.h"
#include "img/headers.h"
#include "img/map_grouping.h"
#include "img/mps.h"
#include "img/subfile_types.h"

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
bool classifySingle(InputFile& input, const std::vector<std::uint8_t>& probe) {
    const std::size_t n = probe.size();
    const std::uint8_t* b = probe.data();
    const std::string_view path = input.path;
    const std::uint32_t headerLength = n >= 2 ? getU16(b) : 0;
    input.rawLength = static_cast<std::uint32_t>(input.size);

    if (path.size() < 4) {
        // Too short to carry an extension: never taken as a subfile.
    } else if (endsWithNoCase(path, ".typ") && n >= 18 && signatureAt2(probe, "GARMIN TYP")) {
        input.inputKind = 2;
        input.detectedType = typeTyp;
        if (n >= 51 && headerLength >= 51) {
            input.fid = getU16(b + 0x2F);
            input.pid = getU16(b + 0x31);
            input.codePage = getU16(b + 0x15);
        }
        return true;
    } else if (endsWithNoCase(path, ".trf") && n >= 18 && signatureAt2(probe, "GARMIN TRF")) {
        input.inputKind = 1;
        input.detectedType = typeTrf;
        if (n >= 41 && headerLength >= 41) input.codePage = getU16(b + 0x27);
        return true;
    } else if (endsWithNoCase(path, ".mmr") && n >= 18 && signatureAt2(probe, "GARMIN MMR")) {
        input.inputKind = 3;
        input.detectedType = typeMmr;
        if (n >= 142 && headerLength >= 142) input.codePage = getU16(b + 0x8C);
        return true;
    } else if (endsWithNoCase(path, ".md2") && n >= 4 && getU32(b) == 236) {
        input.inputKind = 4;
        input.detectedType = typeMd2;
        return true;
    } else {
        static const char* const signatures[] = {"GARMIN TRE", "GARMIN RGN", "GARMIN LBL", "GARMIN NET", "GARMIN NOD",
                                                 "GARMIN DEM", "GARMIN GMP", "GARMIN MDR", "GARMIN SRT", "GARMIN MMR"};
        if (n >= 32)
            for (const char* sig : signatures)
                if (signatureAt2(probe, sig)) {
                    input.inputKind = 11;
                    input.detectedType = subfileTypeOf(sig + 7);
                    return true;
                }
        if (options.useOtherData) {
            input.inputKind = 11;
            input.detectedType = typeNone;
            return true;
        }
    }
    say(kNotImg, input.path);
    return false;
}

// The record that stands for a single-subfile input, and its headers.
void setUpSingle(InputFile& input) {
    Subfile& s = input.single;
    s.type = input.detectedType;
    std::string_view base = baseName(std::string_view(input.path));
    std::memset(s.name, ' ', 11);
    for (std::size_t i = 0; i < base.size() && i < 8; ++i) {
        unsigned char c = static_cast<unsigned char>(base[i]);
        if (c == '.' || c < 32) break;
        s.name[i] = static_cast<char>(c);
    }
    std::memcpy(s.name + 8, typeName(s.type), 3);
    s.name[11] = '\0';
    s.size = input.rawLength;
    s.firstFat = 0;
    // A single subfile whose header cannot be read is still carried as it is.
    switch (s.type) {
    case typeTyp: case typeTrf: case typeMmr: case typeMd2:
        readAuxInfo(input, s);
        break;
    case typeDem: case typeLbl: case typeTre: case typeGmp:
        readTreInfo(input, s);
        readLblInfo(input, s);
        readDemInfo(input, s);
        break;
    default:
        break;
    }
}

bool readImg(InputFile& input) {
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
    if (!parseMps(input)) {
        input.status = 7;
        return false;
    }
    return true;
}

}  // namespace

bool readInput(InputFile& input) {
    if (!openInput(input, "rb")) {
        input.status = 1;
        return false;
    }
    std::int64_t size = -1;
    if (seek64(input.stream.get(), 0, SEEK_END) != 0 || (size = platformTell(input.stream.get())) < 0 ||
        seek64(input.stream.get(), 0, SEEK_SET) != 0) {
        reportSeekError(input.path);
        input.size = ~std::uint64_t{0};
        input.status = 2;
        closeInput(input);
        return false;
    }
    input.size = static_cast<std::uint64_t>(size);

    std::vector<std::uint8_t> probe;
    bool ok = true;
    switch (readContainer(input, probe)) {
    case ContainerResult::accepted:
        ok = readImg(input);
        break;
    case ContainerResult::notImg:
        input.img = ImgHeader{};
        if (!classifySingle(input, probe)) {
            input.status = 3;
            ok = false;
        } else if (input.detectedType != typeNone) {
            setUpSingle(input);
        }
        break;
    case ContainerResult::failed:
        input.status = 3;
        ok = false;
        break;
    }
    closeInput(input);
    if (ok) input.status = 0;
    return ok;
}
