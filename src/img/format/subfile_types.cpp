#include "img/format/subfile_types.h"

#include <cstring>

namespace {

struct TypeRow {
    const char* name;
    SubfileType type;
};

const TypeRow kTypes[] = {
    {"TYP", typeTyp}, {"TRF", typeTrf}, {"MMR", typeMmr}, {"MD2", typeMd2}, {"MDR", typeMdr},
    {"SRT", typeSrt}, {"DEM", typeDem}, {"LBL", typeLbl}, {"NET", typeNet}, {"NOD", typeNod},
    {"RGN", typeRgn}, {"TRE", typeTre}, {"GMP", typeGmp}, {"MPS", typeMps},
};

}  // namespace

SubfileType subfileTypeOf(const char* type3) {
    for (const TypeRow& r : kTypes)
        if (std::memcmp(r.name, type3, 3) == 0) return r.type;
    return typeOther;
}

const char* typeName(int type) {
    if (type == 0) return " - ";
    if (type == typeOther) return " ? ";
    for (const TypeRow& r : kTypes)
        if (r.type == type) return r.name;
    return " ??";
}

bool hasCommonHeader(SubfileType t) { return t == typeTyp || t == typeTrf || t == typeMmr || (t >= typeMdr && t <= typeGmp); }
