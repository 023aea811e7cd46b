#!/usr/bin/env python3
"""Write the small synthetic inputs that tools/make_fixtures.sh feeds to mkgmap.

Everything is fixed (IDs, coordinates, timestamps, elevations), so the same
OSM XML and .hgt bytes come out on every run and every machine: only integer
arithmetic, no clock, no randomness.

Usage: make_osm.py OUTDIR
Writes OUTDIR/kafelek1.osm, OUTDIR/kafelek2.osm, OUTDIR/kafelek3.osm and
OUTDIR/hgt/N52E021.hgt (3 arc-second, 1201x1201, about 2.8 MB: an input only,
never committed).
"""

import os
import struct
import sys
from xml.sax.saxutils import quoteattr

TIMESTAMP = "2024-01-01T00:00:00Z"

# Latitude rows and longitude columns of the street grids; every street ends
# on or crosses another one so the road network is connected and routable.
ROW_LAT = [52.2005, 52.2015, 52.2025, 52.2035]


class Tile:
    """One OSM file: nodes and ways with IDs from its own range."""

    def __init__(self, bounds, node_base, way_base):
        self.bounds = bounds  # (minlat, minlon, maxlat, maxlon)
        self.nodes = []  # (id, lat, lon, tags)
        self.ways = []  # (id, [node ids], tags)
        self._next_node = node_base
        self._next_way = way_base
        self._grid = {}

    def node(self, lat, lon, tags=None):
        nid = self._next_node
        self._next_node += 1
        self.nodes.append((nid, lat, lon, tags or {}))
        return nid

    def grid_node(self, lat, lon):
        """Shared node at a street crossing (same coordinates, same node)."""
        key = (round(lat * 10_000_000), round(lon * 10_000_000))
        if key not in self._grid:
            self._grid[key] = self.node(lat, lon)
        return self._grid[key]

    def way(self, refs, tags):
        wid = self._next_way
        self._next_way += 1
        self.ways.append((wid, list(refs), tags))
        return wid

    def street(self, points, tags):
        return self.way([self.grid_node(lat, lon) for lat, lon in points], tags)

    def area(self, points, tags):
        refs = [self.node(lat, lon) for lat, lon in points]
        return self.way(refs + refs[:1], tags)

    def xml(self):
        out = ['<?xml version="1.0" encoding="UTF-8"?>',
               '<osm version="0.6" generator="clx make_osm.py">']
        minlat, minlon, maxlat, maxlon = self.bounds
        out.append(f'  <bounds minlat="{minlat:.7f}" minlon="{minlon:.7f}" '
                   f'maxlat="{maxlat:.7f}" maxlon="{maxlon:.7f}"/>')
        for nid, lat, lon, tags in self.nodes:
            head = (f'  <node id="{nid}" version="1" timestamp="{TIMESTAMP}" '
                    f'lat="{lat:.7f}" lon="{lon:.7f}"')
            if not tags:
                out.append(head + "/>")
                continue
            out.append(head + ">")
            out.extend(_tags(tags))
            out.append("  </node>")
        for wid, refs, tags in self.ways:
            out.append(f'  <way id="{wid}" version="1" timestamp="{TIMESTAMP}">')
            out.extend(f'    <nd ref="{ref}"/>' for ref in refs)
            out.extend(_tags(tags))
            out.append("  </way>")
        out.append("</osm>")
        return "\n".join(out) + "\n"


def _tags(tags):
    return [f"    <tag k={quoteattr(k)} v={quoteattr(v)}/>"
            for k, v in sorted(tags.items())]


def _addr(city):
    return {"addr:city": city, "addr:country": "PL"}


def tile1():
    """West tile: a village with four streets, a cafe, a bakery, a forest."""
    t = Tile((52.2000, 21.0100, 52.2040, 21.0160), 1000, 100)
    x = [21.0105, 21.0120, 21.0140, 21.0160]
    city = "Wieś Źdźbło"
    t.node(52.2022, 21.0128, {"place": "village", "name": city})
    # The primary road runs on into the east tile at the shared border.
    t.street([(ROW_LAT[2], x[0]), (ROW_LAT[2], x[1]), (ROW_LAT[2], x[2]),
              (ROW_LAT[2], x[3])],
             {"highway": "primary", "name": "ulica Łódzka", "ref": "719"})
    t.street([(ROW_LAT[1], x[0]), (ROW_LAT[1], x[1]), (ROW_LAT[1], x[2])],
             {"highway": "residential", "name": "Żółta"})
    t.street([(ROW_LAT[0], x[1]), (ROW_LAT[1], x[1]), (ROW_LAT[2], x[1]),
              (ROW_LAT[3], x[1])],
             {"highway": "residential", "name": "Świętokrzyska"})
    t.street([(ROW_LAT[1], x[2]), (ROW_LAT[2], x[2]), (ROW_LAT[3], x[2])],
             {"highway": "residential", "name": "aleja Ęą"})
    t.street([(ROW_LAT[3], x[0]), (ROW_LAT[3], x[1]), (ROW_LAT[3], x[2])],
             {"highway": "living_street", "name": "Ćmielowska"})
    t.node(52.2019, 21.0125, dict(_addr(city), amenity="cafe",
                                  name="Kawiarnia Pod Różą"))
    t.node(52.2029, 21.0143, dict(_addr(city), shop="bakery",
                                  name="Piekarnia Ścibor"))
    t.area([(52.2001, 21.0101), (52.2001, 21.0115), (52.2010, 21.0115),
            (52.2010, 21.0101)],
           {"landuse": "forest", "name": "Las Łęgowy"})
    return t


def tile2():
    """East tile: a hamlet, three streets, a restaurant, a shop, a building."""
    t = Tile((52.2000, 21.0160, 52.2040, 21.0220), 2000, 200)
    x = [21.0160, 21.0175, 21.0195, 21.0215]
    city = "Przysiółek Ćma"
    t.node(52.2030, 21.0185, {"place": "hamlet", "name": city})
    t.street([(ROW_LAT[2], x[0]), (ROW_LAT[2], x[1]), (ROW_LAT[2], x[2]),
              (ROW_LAT[2], x[3])],
             {"highway": "primary", "name": "ulica Łódzka", "ref": "719"})
    t.street([(ROW_LAT[0], x[1]), (ROW_LAT[1], x[1]), (ROW_LAT[2], x[1]),
              (ROW_LAT[3], x[1])],
             {"highway": "residential", "name": "Źródlana"})
    t.street([(ROW_LAT[1], x[1]), (ROW_LAT[1], x[2]), (ROW_LAT[2], x[2]),
              (ROW_LAT[3], x[2])],
             {"highway": "residential", "name": "Gęsia Ósma"})
    t.node(52.2027, 21.0180, dict(_addr(city), amenity="restaurant",
                                  cuisine="regional", name="Restauracja Żubr"))
    t.node(52.2012, 21.0200, dict(_addr(city), shop="supermarket",
                                  name="Sklep Ńą"))
    t.area([(52.2030, 21.0198), (52.2030, 21.0206), (52.2036, 21.0206),
            (52.2036, 21.0198)],
           {"building": "yes", "name": "Dom Kultury Źródło"})
    return t


def tile3():
    """Hill-shading tile: one road over the synthetic hill, nothing else."""
    t = Tile((52.2100, 21.1500, 52.2130, 21.1540), 3000, 300)
    t.street([(52.2105, 21.1505), (52.2115, 21.1520), (52.2125, 21.1535)],
             {"highway": "track", "name": "Droga na Górę"})
    t.node(52.2117, 21.1517, {"natural": "peak", "name": "Górka", "ele": "211"})
    return t


HGT_SIZE = 1201  # 3 arc-second cell: 1200 intervals per degree


def hgt_bytes():
    """Elevations for N52E021: a gentle slope up to the north plus one round
    hill centred under tile 3 (row 946 ~ 52.2117N, column 182 ~ 21.1517E).
    Tile 3 keeps well inside the cell: near its west edge mkgmap also asks
    for the neighbouring N52E020 cell."""
    rows = []
    for r in range(HGT_SIZE):
        slope = 100 + (HGT_SIZE - 1 - r) // 12
        row = []
        for c in range(HGT_SIZE):
            d2 = (r - 946) ** 2 + (c - 182) ** 2
            row.append(slope + max(0, 90 - d2 // 4))
        rows.append(struct.pack(f">{HGT_SIZE}h", *row))
    return b"".join(rows)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_osm.py OUTDIR\n")
        return 2
    outdir = argv[1]
    os.makedirs(os.path.join(outdir, "hgt"), exist_ok=True)
    for name, tile in (("kafelek1", tile1()), ("kafelek2", tile2()),
                       ("kafelek3", tile3())):
        with open(os.path.join(outdir, name + ".osm"), "w",
                  encoding="utf-8", newline="\n") as f:
            f.write(tile.xml())
    with open(os.path.join(outdir, "hgt", "N52E021.hgt"), "wb") as f:
        f.write(hgt_bytes())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
