#include "img/format/mp_text.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "img/format/map_units.h"

namespace {

// 360 / 2^24: exact in a double, so every map unit has one exact degree value.
constexpr double kDegreesPerUnit = 2.1457672119140625e-05;

double degrees(std::int32_t units) { return units * kDegreesPerUnit; }

// One grid step at `bits` resolution; "%1.7lf" always prints a point, no
// locale is involved.
double gridStep(unsigned bits, double stepWithoutBits) {
    return bits == 0 ? stepWithoutBits : std::ldexp(720.0, -static_cast<int>(bits));
}

[[gnu::format(__printf__, 1, 2)]] std::string printed(const char* format, ...) {
    char buf[96];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return std::string(buf, n < 0 ? 0 : std::min(static_cast<std::size_t>(n), sizeof buf - 1));
}

std::string coordinates(double latitude, double longitude) { return printed("(%1.7lf,%1.7lf)", latitude, longitude); }

void appendIfAny(std::string& out, std::string_view line) {
    if (!line.empty()) appendMpLine(out, line);
}

void clampInside(double& degrees, double edge) {
    if (degrees > edge) degrees = edge;
    else if (degrees < -edge) degrees = -edge;
}

}  // namespace

void clampLatitude(double& degrees, unsigned bits) { clampInside(degrees, 90.0 - gridStep(bits, 0.000001)); }

void clampLongitude(double& degrees, unsigned bits) { clampInside(degrees, 180.0 - gridStep(bits, 0.0)); }

void clampEast(double& degrees, unsigned bits) {
    const double edge = 180.0 - gridStep(bits, 0.0);
    if (degrees > edge || degrees < -edge) degrees = edge;
}

void clampWest(double& degrees, unsigned bits) {
    const double edge = 180.0 - gridStep(bits, 0.0);
    if (degrees > edge || degrees < -edge) degrees = -edge;
}

std::string mpText(std::string_view text) {
    std::string out(text.substr(0, text.find('\0')));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return out;
}

void appendMpLine(std::string& out, std::string_view line) {
    out += line;
    out += "\r\n";
}

void appendPolygon(std::string& out, std::string_view line1, std::string_view line2, std::int32_t north,
                   std::int32_t east, std::int32_t south, std::int32_t west, int limitMode, unsigned bits,
                   const MpLimits& limits) {
    if (limitMode != 0) {
        south = std::max(south, limits.south);
        north = std::min(north, limits.north);
        west = std::max(west, limits.west);
        east = std::min(east, limits.east);
    }
    double n = degrees(north), e = degrees(east), s = degrees(south), w = degrees(west);
    clampLatitude(n, bits);
    clampLatitude(s, bits);
    clampEast(e, bits);
    clampWest(w, bits);

    // Map compilers mishandle areas wider than half the world: cut them.
    const double width = e - w;
    std::vector<double> bounds{w};
    if (limitMode == 2) {
        if (width > 356.0) {
            const double side = (width - 178.0) / 2;
            bounds.insert(bounds.end(), {w + side, e - side});
        } else if (width > 178.0) {
            bounds.push_back(w + 178.0);
        }
    } else if (width > 178.5) {
        bounds.insert(bounds.end(), {w + width / 3, e - width / 3});
    }
    bounds.push_back(e);

    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        appendMpLine(out, "[POLYGON]");
        appendIfAny(out, line1);
        appendIfAny(out, line2);
        appendMpLine(out, "Data0=" + coordinates(s, bounds[i + 1]) + "," + coordinates(s, bounds[i]) + "," +
                              coordinates(n, bounds[i]) + "," + coordinates(n, bounds[i + 1]));
        appendMpLine(out, "[END]");
    }
    appendMpLine(out, "");
}

void appendPoint(std::string& out, std::string_view line1, std::string_view line2, std::int32_t latitude,
                 std::int32_t longitude, bool limit, unsigned bits, const MpLimits& limits) {
    if (limit) {
        latitude = std::min(std::max(latitude, limits.south), limits.north);
        longitude = std::min(std::max(longitude, limits.west), limits.east);
    }
    double lat = degrees(latitude), lon = degrees(longitude);
    clampLatitude(lat, bits);
    clampLongitude(lon, bits);
    appendMpLine(out, "[POI]");
    appendIfAny(out, line1);
    appendIfAny(out, line2);
    appendMpLine(out, "Data0=" + coordinates(lat, lon));
    appendMpLine(out, "[END]");
    appendMpLine(out, "");
}

std::string emptyMapMp(const EmptyMapSource& source) {
    const std::size_t records = source.levels.size() / 4;
    auto zoom = [&](std::size_t r) -> unsigned { return source.levels[4 * r]; };
    auto bits = [&](std::size_t r) -> unsigned { return source.levels[4 * r + 1]; };
    auto inherited = [&](std::size_t r) { return (zoom(r) & 0x80) != 0; };

    // The map's own levels are the last records up to the first inherited one.
    unsigned own = 0;
    while (own < records && !inherited(records - 1 - own)) ++own;
    if (own == 0) return "";
    const bool hasInherited = own < records;

    std::string out;
    appendMpLine(out, "[IMG ID]");
    const std::string name = mpText(source.name8);
    const char first = name.empty() ? '\0' : name[0];
    if (first == 'I') {
        appendMpLine(out, "ID=" + name);
        appendMpLine(out, printed(";ID=%u", source.mapId));
    } else if (first >= '0' && first <= '9') {
        appendMpLine(out, printed(";ID=I%07X", source.mapId));
        appendMpLine(out, "ID=" + name);
    } else {
        appendMpLine(out, printed("ID=I%07X", source.mapId));
        appendMpLine(out, printed(";ID=%u", source.mapId));
    }
    appendMpLine(out, "Name=Map " + name);
    appendMpLine(out, ";LBLcoding=9");
    appendMpLine(out, printed(";CodePage=%u", source.codePage));
    for (const char* line : {"Preprocess=N", "TreSize=1024", "TreMargin=0.0", "RgnLimit=5000", ";Transparent=Y"})
        appendMpLine(out, line);
    appendMpLine(out, printed("Levels=%u", own + (hasInherited ? 1 : 0)));
    // The first inherited record closes the list with the most general level.
    for (unsigned i = 0; i < own; ++i) appendMpLine(out, printed("Level%u=%u", i, bits(records - 1 - i)));
    if (hasInherited) appendMpLine(out, printed("Level%u=%u", own, bits(0)));
    for (unsigned i = 0; i < own; ++i) appendMpLine(out, printed("Zoom%u=%u", i, zoom(records - 1 - i)));
    if (hasInherited) appendMpLine(out, printed("Zoom%u=%u", own, zoom(records - 1 - own) & 0x7Fu));
    appendMpLine(out, "[END-IMG ID]");
    appendMpLine(out, "");

    double n = northEastDegrees(source.north), e = northEastDegrees(source.east);
    double s = southWestDegrees(source.south), w = southWestDegrees(source.west);
    clampLatitude(n, 0);
    clampLatitude(s, 0);
    clampEast(e, 0);
    clampWest(w, 0);
    appendMpLine(out, "[POLYGON]");
    appendMpLine(out, "Type=0x4B");
    appendMpLine(out, "Data0=" + coordinates(s, w) + "," + coordinates(n, w) + "," + coordinates(n, e) + "," +
                          coordinates(s, e));
    appendMpLine(out, "[END]");
    appendMpLine(out, "");
    appendMpLine(out, "[POI]");
    appendMpLine(out, "Type=0x28");
    appendMpLine(out, "Data0=" + coordinates(s, w));
    if (own >= 2) appendMpLine(out, printed("Endlevel=%u", own - 1));
    appendMpLine(out, "[END]");
    appendMpLine(out, "");
    return out;
}
