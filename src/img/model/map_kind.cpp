#include "img/model/map_kind.h"

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

const char* mapKindName(int kind) {
    switch (kind) {
    case 0: return " - ";
    case 1: return "TRF";
    case 2: return "TYP";
    case 3: return "MMR";
    case 4: return "MD2";
    case 6: return "SRT";
    case 7: return "IDX";
    case 8: return "MPC";
    case 9: return "MPS";
    case 10: return "NT ";
    case 11: return " ? ";
    default: return " ??";
    }
}
