// Feeds mutated member subfiles to the GMP conversion: the first byte says
// which of the six parts are there, the next two where the TRE information
// says its data begins, then each present part as a u16 length and its bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "img/format/nt_convert.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const SubfileType kTypes[] = {typeTre, typeRgn, typeLbl, typeNet, typeNod, typeDem, typeTre};
    const std::uint8_t present = data[0];
    const std::uint32_t treDataStart = data[1] | (data[2] << 8);
    std::size_t at = 3;
    std::vector<GmpMember> members;
    for (int i = 0; i < 7; ++i) {
        if (!(present & (1u << i))) continue;
        std::size_t length = at + 2 <= size ? (data[at] | (data[at + 1] << 8)) : 0;
        at = std::min(at + 2, size);
        length = std::min(length, size - at);
        members.push_back({kTypes[i], std::vector<std::uint8_t>(data + at, data + at + length)});
        at += length;
    }
    std::vector<std::uint8_t> gmp;
    buildGmp(members, treDataStart, gmp);
    return 0;
}
