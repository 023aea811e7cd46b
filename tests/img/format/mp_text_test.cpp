// MP text of the preview map's rectangles and of empty stand-in maps.
#include "img/format/mp_text.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// The west edge of the first piece and the east edge of each piece; the
// pieces must join without a gap.
std::vector<double> pieceEdges(const std::string& mp) {
    std::vector<double> edges;
    for (std::size_t at = mp.find("Data0="); at != std::string::npos; at = mp.find("Data0=", at + 1)) {
        double s, e, w;
        EXPECT_EQ(std::sscanf(mp.c_str() + at, "Data0=(%lf,%lf),(%lf,%lf)", &s, &e, &s, &w), 4);
        if (edges.empty()) edges.push_back(w);
        EXPECT_EQ(w, edges.back());
        edges.push_back(e);
    }
    return edges;
}

TEST(MpText, RectanglesAreCutOnlyWhenWiderThanTheModeAllows) {
    struct Row { int mode; std::int32_t west, east; std::vector<double> edges; };
    const Row rows[] = {
        {0, -4194304, 5242880, {-90, -22.5, 45, 112.5}},  // equal thirds
        {1, -4194304, 5242880, {-90, -22.5, 45, 112.5}},
        {2, -4194304, 5242880, {-90, 88, 112.5}},  // 178 degrees, then the rest
        {0, 0, 8318702, {0, 178.49998}},  // 178.5 is the widest single piece
        {0, 0, 8318703, {0, 59.5000005, 119.000001, 178.5000014}},
        {2, 0, 8295401, {0, 177.9999948}},
        {2, 0, 8295402, {0, 178, 178.0000162}},
        {2, -8295401, 8295401, {-177.9999948, 0.0000052, 177.9999948}},
        {2, -8295401, 8295402, {-177.9999948, -88.9999893, 89.0000107, 178.0000162}},
        {0, 9000000, -9000000, {-180, -60, 60, 180}},  // beyond the world: its west and east edges
    };
    for (const Row& row : rows) {
        std::string mp;
        appendPolygon(mp, "Type=0x4B", "", 2097152, row.east, 1835008, row.west, row.mode, 0, MpLimits{});
        EXPECT_EQ(pieceEdges(mp), row.edges) << row.mode << " " << row.west << " " << row.east;
    }
}

TEST(MpText, PolygonAndPointLinesKeepTheirOrderAndLimits) {
    std::string mp;
    appendPolygon(mp, "Type=0x4B", "", 2097152, 1048576, 1835008, 786432, 0, 18, MpLimits{});
    EXPECT_EQ(mp, crlf("[POLYGON]\nType=0x4B\nData0=(39.3750000,22.5000000),(39.3750000,16.8750000),"
                       "(45.0000000,16.8750000),(45.0000000,22.5000000)\n[END]\n\n"));
    mp.clear();
    appendPolygon(mp, "", "Label=x", 4194304, 8388607, -4194304, -8388607, 1, 0, MpLimits{});  // to the limits
    appendPolygon(mp, "", "", 4194304, 8388607, -4194304, -8388607, 0, 8, MpLimits{});  // one grid step inside
    EXPECT_EQ(mp.substr(0, 27), crlf("[POLYGON]\nLabel=x\nData0=("));
    for (const char* corners : {"(-89.4999933,-178.4999800),(89.4999933,-178.4999800)", "(89.4999933,178.4999800)\r\n",
                                "(-87.1875000,-177.1875000),(87.1875000,-177.1875000)", "(87.1875000,177.1875000)\r\n"})
        EXPECT_NE(mp.find(corners), std::string::npos) << corners;
    mp.clear();
    appendPoint(mp, "Type=0x28", "", 4194304, 9000000, false, 0, MpLimits{});
    appendPoint(mp, "", "", 4194304, -8388608, true, 0, MpLimits{});
    EXPECT_EQ(mp, crlf("[POI]\nType=0x28\nData0=(89.9999990,180.0000000)\n[END]\n\n"
                       "[POI]\nData0=(89.4999933,-178.4999800)\n[END]\n\n"));
    EXPECT_EQ(mpText(std::string("ab\x01\x1F" "c\0d", 7)), "ab  c");
}

TEST(MpText, EmptyMapKeepsNameIdLevelsAndArea) {
    EmptyMapSource map{"I0001234", 4661, 1250,
                       {0x84, 10, 0, 0, 0x83, 14, 0, 0, 0x02, 18, 0, 0, 0x01, 20, 0, 0, 0x00, 22, 0, 0},
                       0x400000, 0x800000, 0xC00000, 0x800000};
    EXPECT_EQ(emptyMapMp(map),
              crlf("[IMG ID]\nID=I0001234\n;ID=4661\nName=Map I0001234\n;LBLcoding=9\n;CodePage=1250\n"
                   "Preprocess=N\nTreSize=1024\nTreMargin=0.0\nRgnLimit=5000\n;Transparent=Y\n"
                   "Levels=4\nLevel0=22\nLevel1=20\nLevel2=18\nLevel3=10\nZoom0=0\nZoom1=1\nZoom2=2\nZoom3=3\n"
                   "[END-IMG ID]\n\n[POLYGON]\nType=0x4B\nData0=(-89.9999990,-180.0000000),(89.9999990,-180.0000000),"
                   "(89.9999990,180.0000000),(-89.9999990,180.0000000)\n[END]\n\n"
                   "[POI]\nType=0x28\nData0=(-89.9999990,-180.0000000)\nEndlevel=2\n[END]\n\n"));
    map.levels.erase(map.levels.begin(), map.levels.begin() + 4);
    map.levels[0] = 0x03;  // no inherited record: no closing level
    std::string mp = emptyMapMp(map);
    EXPECT_NE(mp.find(crlf("Levels=4\nLevel0=22\nLevel1=20\nLevel2=18\nLevel3=14\nZoom0=0\n")), std::string::npos);
    EXPECT_NE(mp.find(crlf("Zoom3=3\n[END-IMG ID]")), std::string::npos);
    EXPECT_NE(mp.find(crlf("Endlevel=3\n")), std::string::npos);
    map.name8 = "12345678", map.mapId = 12345678;
    EXPECT_NE(emptyMapMp(map).find(crlf(";ID=I0BC614E\nID=12345678\nName=Map 12345678\n")), std::string::npos);
    map.name8 = std::string("M\r\n[x]\0zz", 9), map.mapId = 4660;  // hostile name: no line of its own
    EXPECT_NE(emptyMapMp(map).find(crlf("ID=I0001234\n;ID=4660\nName=Map M  [x]\n")), std::string::npos);
    map.levels.resize(4);
    EXPECT_EQ(emptyMapMp(map).find("Endlevel"), std::string::npos);
    map.levels[0] = 0x83;  // only an inherited record
    EXPECT_EQ(emptyMapMp(map), "");
    EXPECT_EQ(emptyMapMp(EmptyMapSource{}), "");
}

}  // namespace
