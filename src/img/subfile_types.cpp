#include "img/subfile_types.h"

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

MapKind kindOf(SubfileType type) {
    switch (type) {
    case typeNone: return noKind;
    case typeTrf: return trfData;
    case typeTyp: return typData;
    case typeMmr: return mmrData;
    case typeMd2: return md2Data;
    case typeSrt: return sortTable;
    case typeMdr: return searchIndex;
    case typeDem: case typeLbl: case typeNet: case typeNod: case typeRgn: case typeTre: return mpcMap;
    case typeMps: return mpsCatalogue;
    case typeGmp: return ntMap;
    default: return otherData;
    }
}

const char* typeName(int type) {
    if (type == 0) return " - ";
    if (type == typeOther) return " ? ";
    for (const TypeRow& r : kTypes)
        if (r.type == type) return r.name;
    return " ??";
}
