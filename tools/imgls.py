#!/usr/bin/env python3
"""Developer helper: list what is inside an IMG container (and a few loose
companion files) without building clx. Used to check and document the test
fixtures in tests/data/img; clx itself does not depend on it.

Usage:
  imgls.py FILE...            container header and subfile table
  imgls.py -v FILE...         plus a few fields from each subfile header
  imgls.py --markdown FILE... subfile table as a Markdown table (for README)

Loose .typ, .tdb and .mdx files are recognised too and described briefly.
"""

import argparse
import struct
import sys


def u8(b, o):
    return b[o]


def u16(b, o):
    return struct.unpack_from("<H", b, o)[0]


def u24(b, o):
    return b[o] | (b[o + 1] << 8) | (b[o + 2] << 16)


def u32(b, o):
    return struct.unpack_from("<I", b, o)[0]


def text(b):
    return b.split(b"\0", 1)[0].decode("latin-1").rstrip()


class Subfile:
    def __init__(self, name, typ, size, blocks):
        self.name = name
        self.type = typ
        self.size = size
        self.blocks = blocks  # block numbers in part order

    @property
    def full_name(self):
        return f"{self.name}.{self.type}"


class Img:
    """An IMG container: XOR-masked header, then the table of subfiles."""

    def __init__(self, data):
        self.xor = data[0]
        if self.xor:
            data = bytes(c ^ self.xor for c in data)
        self.data = data
        if data[0x10:0x17] != b"DSKIMG\0" or data[0x41:0x48] != b"GARMIN\0":
            raise ValueError("not an IMG container (no DSKIMG/GARMIN marks)")
        self.block_size = 1 << (data[0x61] + data[0x62])
        self.fat_sector = data[0x40]
        self.updated = (data[0x0A], data[0x0B] + 1900 if data[0x0B] < 0x80
                        else data[0x0B] + 1900)
        year, mon, day, hh, mm, ss = struct.unpack_from("<HBBBBB", data, 0x39)
        self.created = f"{year:04d}-{mon:02d}-{day:02d} {hh:02d}:{mm:02d}:{ss:02d}"
        self.description = (text(data[0x49:0x5D]) + text(data[0x65:0x84])).strip()
        self.header_entry = None
        self.subfiles = self._read_fat()

    def _read_fat(self):
        d = self.data
        # The table normally starts at 0x200 unless byte 0x40 moves it; it
        # ends at the first unused entry or where the first subfile begins.
        off = max(self.fat_sector, 1) * 512
        entries = {}
        order = []
        while off + 512 <= len(d):
            e = d[off:off + 512]
            off += 512
            if e[0] != 1:
                if e[0] == 0 and not any(e[1:12]):
                    break
                continue
            name = e[1:9].decode("latin-1")
            typ = e[9:12].decode("latin-1")
            size = u32(e, 0x0C)
            part = u16(e, 0x10)
            blocks = []
            for i in range(240):
                n = u16(e, 0x20 + 2 * i)
                if n == 0xFFFF:
                    break
                blocks.append(n)
            if name.strip() == "" and typ.strip() == "":
                self.header_entry = (size, part, blocks)
                continue
            key = (name, typ)
            if key not in entries:
                entries[key] = Subfile(name.rstrip(), typ.rstrip(), size, [])
                order.append(key)
            if part == 0:
                entries[key].size = size
            entries[key].blocks.extend(blocks)
        return [entries[k] for k in order]

    def read(self, sub):
        bs = self.block_size
        out = b"".join(self.data[n * bs:(n + 1) * bs] for n in sub.blocks)
        return out[:sub.size]


def describe_subfile(img, sub):
    """A few fields of the common subfile header and of the ones we test."""
    b = img.read(sub)
    if sub.type == "MPS":
        return "records " + describe_mps(b)
    if len(b) < 0x15 or b[2:8] != b"GARMIN":
        return ""
    hlen = u16(b, 0)
    tag = text(b[2:12])
    year, mon, day, hh, mm, ss = struct.unpack_from("<HBBBBB", b, 0x0E)
    parts = [f"hdr {hlen:#x}", repr(tag), f"locked={b[0x0D]}",
             f"date={year:04d}-{mon:02d}-{day:02d}"]
    if sub.type == "TRE" and hlen >= 0x78:
        parts.append(f"mapid@0x74={u32(b, 0x74)}")
        north, east, south, west = (u24(b, o) for o in (0x15, 0x18, 0x1B, 0x1E))
        parts.append("bbox N%.5f E%.5f S%.5f W%.5f" % tuple(
            _deg(v) for v in (north, east, south, west)))
    if sub.type == "LBL":
        parts.append(f"label-coding@0x1e={b[0x1E]}")
        if hlen >= 0xAC:
            parts.append(f"codepage@0xaa={u16(b, 0xAA)}")
    if sub.type == "SRT" and hlen >= 0x1D:
        # 0x17 points at a small table whose first entry is the offset of
        # the sort's description string.
        table = u32(b, 0x17)
        if table + 4 <= len(b) and u32(b, table) < len(b):
            parts.append(f"sort={text(b[u32(b, table):u32(b, table) + 64])!r}")
    if sub.type == "TYP":
        parts.append(f"codepage@0x15={u16(b, 0x15)}")
    if sub.type == "DEM":
        parts.append(f"flags@0x15={u32(b, 0x15):#x} zoom-levels@0x19={u16(b, 0x19)}")
    if sub.type == "MDR" and hlen >= 0x1A:
        parts.append(f"codepage@0x15={u16(b, 0x15)}")
    return " ".join(parts)


def _deg(v):
    if v & 0x800000:
        v -= 1 << 24
    return v * 360.0 / (1 << 24)


def mps_records(b):
    """Catalogue records: one type letter, a u16 length, then the body."""
    out = []
    off = 0
    while off + 3 <= len(b):
        kind = chr(b[off])
        n = u16(b, off + 1)
        body = b[off + 3:off + 3 + n]
        off += 3 + n
        if kind == "\0":
            break
        out.append((kind, body))
    return out


def _zstrings(b, count):
    """count NUL-terminated strings from b; returns them and the rest."""
    out = []
    for _ in range(count):
        s, _, b = b.partition(b"\0")
        out.append(s.decode("cp1250", "replace"))
    return out, b


def describe_mps(b):
    out = []
    for kind, body in mps_records(b):
        if kind == "L" and len(body) >= 8:
            pid, fid, mapnum = struct.unpack_from("<HHI", body, 0)
            strs, rest = _zstrings(body[8:], 3)
            mapid = u32(rest, 0) if len(rest) >= 4 else None
            out.append(f"L(fid={fid} pid={pid} map={mapnum} id={mapid} "
                       f"series={strs[0]!r} desc={strs[1]!r} area={strs[2]!r})")
        elif kind == "F" and len(body) >= 4:
            pid, fid = struct.unpack_from("<HH", body, 0)
            strs, _ = _zstrings(body[4:], 1)
            out.append(f"F(fid={fid} pid={pid} family={strs[0]!r})")
        elif kind == "V":
            strs, rest = _zstrings(body, 1)
            out.append(f"V({strs[0]!r} +{len(rest)} bytes)")
        else:
            out.append(f"{kind}({len(body)} bytes)")
    return ", ".join(out)


def list_img(path, data, verbose, markdown):
    img = Img(data)
    if markdown:
        print("| subfile | type | size |")
        print("| --- | --- | ---: |")
        for s in img.subfiles:
            print(f"| {s.name} | {s.type} | {s.size} |")
        return
    print(f"{path}: {len(data)} bytes, xor={img.xor:#04x}, block={img.block_size}, "
          f"table at sector {img.fat_sector}, created {img.created}, "
          f"updated {img.updated[0]:02d}/{img.updated[1]}")
    print(f"  description: {img.description!r}")
    if img.header_entry:
        size, part, blocks = img.header_entry
        print(f"  header entry: size={size} part={part:#x} blocks={len(blocks)}")
    for s in img.subfiles:
        line = f"  {s.name:<8} {s.type:<3} {s.size:>8}"
        if verbose:
            line += "  " + describe_subfile(img, s)
        print(line)


def list_loose(path, data):
    if len(data) > 12 and data[2:12] == b"GARMIN TYP":
        print(f"{path}: TYP, {len(data)} bytes, header {u16(data, 0):#x}, "
              f"codepage {u16(data, 0x15)}, fid {u16(data, 0x2F)}, pid {u16(data, 0x31)}")
    elif data[:6] == b"Midxd\0" and len(data) >= 14:
        # Records of (hex id, product, family, map number) per tile.
        rec, count = u16(data, 6), u32(data, 0x0A)
        maps = [struct.unpack_from("<IHHI", data, 14 + i * rec)
                for i in range(count) if 14 + (i + 1) * rec <= len(data)]
        print(f"{path}: MDX index, {len(data)} bytes, {count} maps: "
              + ", ".join(f"{m[3]} (fid {m[2]} pid {m[1]})" for m in maps))
    elif data[:1] == b"P":
        print(f"{path}: TDB, {len(data)} bytes, blocks "
              + " ".join(tdb_blocks(data)))
    else:
        print(f"{path}: unknown, {len(data)} bytes")


def tdb_blocks(b):
    out = []
    off = 0
    while off + 3 <= len(b):
        kind = b[off]
        out.append(chr(kind) if 0x41 <= kind <= 0x5A else f"{kind:#x}")
        off += 3 + u16(b, off + 1)
    return out


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("-v", "--verbose", action="store_true")
    ap.add_argument("--markdown", action="store_true")
    ap.add_argument("files", nargs="+")
    args = ap.parse_args(argv)
    rc = 0
    for path in args.files:
        with open(path, "rb") as f:
            data = f.read()
        try:
            if len(data) >= 0x200 and bytes(c ^ data[0] for c in data[0x10:0x16]) == b"DSKIMG":
                list_img(path, data, args.verbose, args.markdown)
            else:
                list_loose(path, data)
        except ValueError as e:
            print(f"{path}: {e}", file=sys.stderr)
            rc = 1
    return rc


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
