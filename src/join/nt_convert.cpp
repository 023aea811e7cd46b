#include "join/nt_convert.h"

// The conversion is not part of this version: every map is refused, and the
// join reports it and stops.
bool convertMapToGmp(InputFile&, const MapEntry&, ImgWriter&) { return false; }
