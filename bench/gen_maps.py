#!/usr/bin/env python3
"""Writes synthetic IMG containers for the join and split benchmarks.

Each map gets RGN, TRE, LBL, NET and NOD subfiles whose headers are valid
enough for clx to read (signatures, dates, TRE map ID and levels, LBL code
page); the bulk of the bytes is RGN payload taken from a pseudo-random
pattern, because the benchmarks time how bytes move, not how maps decode.

Usage:
  gen_maps.py --out DIR [--maps 2000] [--total-mb 1500]
      one container per map: DIR/70000001.img, DIR/70000002.img, ...
  gen_maps.py --single-container FILE [--maps 2000] [--total-mb 1500]
      all maps in one container (the block size grows until the block
      numbers fit in 16 bits)

Output is deterministic for the same arguments.
"""

import argparse
import os
import random
import struct
import sys

SECTOR = 512
FAT_ENTRY = 512
BLOCKS_PER_ENTRY = 240
MAX_BLOCK_NUMBER = 0xFFFE  # 0xFFFF ends a block list
FAT_START_SECTOR = 2
DATE = (2024, 1, 1, 12, 0, 0)

TRE_HEADER = 0xBC
LBL_HEADER = 0xC4
NET_HEADER = 0x37
NOD_HEADER = 0x7F
RGN_HEADER = 0x7D
# Level 1 inherited, then level 0, both at 24 bits, one subdivision each.
TRE_LEVELS = bytes([0x81, 0x18, 1, 0, 0x00, 0x18, 1, 0])

PATTERN_SIZE = 1 << 20


def common_header(length, kind):
    """The header every map subfile starts with: length, signature, date."""
    h = bytearray(length)
    struct.pack_into("<H", h, 0, length)
    h[2:12] = b"GARMIN " + kind
    h[0x0C] = 1
    struct.pack_into("<HBBBBB", h, 0x0E, *DATE)
    return h


def u24(v):
    return struct.pack("<I", v & 0xFFFFFF)[:3]


def tre_bytes(map_id, index):
    h = common_header(TRE_HEADER, b"TRE")
    # A small box per map on a grid, so maps do not all overlap.
    unit = 360.0 / (1 << 24)
    lat = 45.0 + (index // 100) * 0.05
    lon = 5.0 + (index % 100) * 0.05
    north, south = int((lat + 0.05) / unit), int(lat / unit)
    east, west = int((lon + 0.05) / unit), int(lon / unit)
    h[0x15:0x18] = u24(north)
    h[0x18:0x1B] = u24(east)
    h[0x1B:0x1E] = u24(south)
    h[0x1E:0x21] = u24(west)
    end = TRE_HEADER + len(TRE_LEVELS)
    struct.pack_into("<II", h, 0x21, TRE_HEADER, len(TRE_LEVELS))
    # Every other section is empty and starts right after the levels.
    for at in (0x29, 0x31, 0x4A, 0x58, 0x66):
        struct.pack_into("<I", h, at, end)
    struct.pack_into("<H", h, 0x39, 3)
    struct.pack_into("<I", h, 0x74, map_id)
    return bytes(h) + TRE_LEVELS


def lbl_bytes():
    h = common_header(LBL_HEADER, b"LBL")
    struct.pack_into("<II", h, 0x15, LBL_HEADER, 1)  # label data: one empty label
    h[0x1E] = 9  # 8-bit labels
    struct.pack_into("<H", h, 0xAA, 1252)
    struct.pack_into("<II", h, 0xB0, 0, 0)
    return bytes(h) + b"\0"


def rgn_header(total):
    h = common_header(RGN_HEADER, b"RGN")
    struct.pack_into("<II", h, 0x15, RGN_HEADER, total - RGN_HEADER)
    return bytes(h)


class Subfile:
    __slots__ = ("name", "kind", "head", "payload", "size", "blocks")

    def __init__(self, name, kind, head, payload=None):
        self.name = name
        self.kind = kind
        self.head = head          # bytes written first
        self.payload = payload    # (pattern offset, length) or None
        self.size = len(head) + (payload[1] if payload else 0)
        self.blocks = []


def map_subfiles(map_id, index, rgn_size, pattern_offset):
    name = b"%08d" % map_id
    subs = [
        Subfile(name, b"RGN", rgn_header(rgn_size), (pattern_offset, rgn_size - RGN_HEADER)),
        Subfile(name, b"TRE", tre_bytes(map_id, index)),
        Subfile(name, b"LBL", lbl_bytes()),
        Subfile(name, b"NET", bytes(common_header(NET_HEADER, b"NET"))),
        Subfile(name, b"NOD", bytes(common_header(NOD_HEADER, b"NOD"))),
    ]
    return subs


def blocks_for(size, block):
    return max(1, -(-size // block))


def entries_for(nblocks):
    return max(1, -(-nblocks // BLOCKS_PER_ENTRY))


def layout(subs, block):
    """Header length (block-aligned, FAT included) and total blocks."""
    data_blocks = sum(blocks_for(s.size, block) for s in subs)
    sub_entries = sum(entries_for(blocks_for(s.size, block)) for s in subs)
    # The header entries list the header's own blocks, so their count
    # depends on the header length: settle it by iterating. One free entry
    # at least ends the table, as readers that scan for it expect.
    header_entries = 1
    while True:
        length = FAT_START_SECTOR * SECTOR + (header_entries + sub_entries + 1) * FAT_ENTRY
        length = -(-length // block) * block
        need = entries_for(length // block)
        if need <= header_entries:
            return length, length // block + data_blocks
        header_entries = need


def pick_exponent(subs, minimum):
    for e in range(minimum, 12):
        _, total = layout(subs, SECTOR << e)
        if total <= MAX_BLOCK_NUMBER:
            return e
    sys.exit("gen_maps: too much data for one container even with 1 MiB blocks")


def entry(name, kind, size, part, blocks, header=False):
    e = bytearray(FAT_ENTRY)
    e[0] = 1
    e[1:9] = name
    e[9:12] = kind
    struct.pack_into("<I", e, 0x0C, size)
    if header:
        e[0x10] = 3
    else:
        e[0x11] = part
    e[0x20:0x20 + 2 * BLOCKS_PER_ENTRY] = b"\xff" * (2 * BLOCKS_PER_ENTRY)
    struct.pack_into("<%dH" % len(blocks), e, 0x20, *blocks)
    return e


def chain(name, kind, size, blocks, header=False):
    out = bytearray()
    for part, i in enumerate(range(0, max(1, len(blocks)), BLOCKS_PER_ENTRY)):
        # Only the first part carries the length (the header entries all do).
        out += entry(name, kind, size if part == 0 or header else 0, part,
                     blocks[i:i + BLOCKS_PER_ENTRY], header)
    return out


def container_header(subs, exponent, description):
    block = SECTOR << exponent
    header_len, total_blocks = layout(subs, block)
    next_block = header_len // block
    for s in subs:
        n = blocks_for(s.size, block)
        s.blocks = list(range(next_block, next_block + n))
        next_block += n
    assert next_block == total_blocks <= MAX_BLOCK_NUMBER + 1

    h = bytearray(header_len)
    year, month, day, hour, minute, second = DATE
    h[0x0A] = month
    h[0x0B] = year - 1900
    h[0x10:0x17] = b"DSKIMG\0"
    h[0x17] = 2
    struct.pack_into("<HHH", h, 0x18, 4, 16, 32)  # sectors, heads, cylinders
    struct.pack_into("<HBBBBB", h, 0x39, *DATE)
    h[0x40] = FAT_START_SECTOR
    h[0x41:0x48] = b"GARMIN\0"
    desc = description.encode("ascii")[:50].ljust(50)
    h[0x49:0x5D] = desc[:20]
    struct.pack_into("<HH", h, 0x5D, 16, 4)
    h[0x61] = 9
    h[0x62] = exponent
    struct.pack_into("<H", h, 0x63, min(total_blocks, 0xFFFF))
    h[0x65:0x83] = desc[20:]
    sectors = total_blocks * (block // SECTOR)
    struct.pack_into("<I", h, 0x1CA, min(sectors, 0xFFFFFFFF))
    h[0x1FE:0x200] = b"\x55\xaa"

    fat = chain(b" " * 8, b" " * 3, header_len, list(range(header_len // block)), header=True)
    for s in subs:
        fat += chain(s.name, s.kind, s.size, s.blocks)
    at = FAT_START_SECTOR * SECTOR
    h[at:at + len(fat)] = fat
    return h, block


def write_container(path, subs, exponent, description, pattern):
    header, block = container_header(subs, exponent, description)
    view = memoryview(pattern)
    with open(path, "wb", buffering=0) as f:
        f.write(header)
        for s in subs:
            f.write(s.head)
            if s.payload:
                offset, left = s.payload
                while left:
                    take = min(left, PATTERN_SIZE)
                    f.write(view[offset:offset + take])
                    left -= take
            pad = -s.size % block
            if pad:
                f.write(bytes(pad))
        size = f.tell()
    return size


def plan(args):
    """Map IDs, RGN sizes and pattern offsets, deterministic per seed."""
    rng = random.Random(args.seed)
    per_map = args.total_mb * 1024 * 1024 // args.maps
    small = TRE_HEADER + len(TRE_LEVELS) + LBL_HEADER + 1 + NET_HEADER + NOD_HEADER
    base = max(RGN_HEADER + 1, per_map - small - 4 * SECTOR - 3 * FAT_ENTRY)
    maps = []
    for i in range(args.maps):
        # +-25 % so maps differ in size and block counts.
        rgn = max(RGN_HEADER + 1, int(base * rng.uniform(0.75, 1.25)))
        maps.append((args.first_id + i, i, rgn, rng.randrange(PATTERN_SIZE)))
    return maps


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--maps", type=int, default=2000)
    ap.add_argument("--total-mb", type=int, default=1500,
                    help="approximate total size of all maps in MiB")
    ap.add_argument("--out", help="directory for one container per map")
    ap.add_argument("--single-container", metavar="FILE",
                    help="write all maps into this one container instead")
    ap.add_argument("--block-exponent", type=int, default=0,
                    help="block size 512 << N (single container: the least N that fits)")
    ap.add_argument("--first-id", type=int, default=70000001)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("-q", "--quiet", action="store_true")
    args = ap.parse_args()
    if bool(args.out) == bool(args.single_container):
        ap.error("give exactly one of --out DIR and --single-container FILE")
    if args.maps < 1 or args.total_mb < 1 or not 0 <= args.block_exponent <= 11:
        ap.error("--maps and --total-mb must be positive, --block-exponent 0..11")
    if args.first_id + args.maps - 1 > 99999999:
        ap.error("map IDs must fit in 8 decimal digits")

    # Twice the pattern so any offset can take a whole pattern-sized slice.
    half = random.Random(args.seed).randbytes(PATTERN_SIZE)
    pattern = half + half
    maps = plan(args)
    total = 0
    if args.single_container:
        subs = []
        for map_id, i, rgn, off in maps:
            subs += map_subfiles(map_id, i, rgn, off)
        exponent = pick_exponent(subs, args.block_exponent)
        total = write_container(args.single_container, subs, exponent,
                                "Bench %d maps" % args.maps, pattern)
        where = args.single_container
    else:
        os.makedirs(args.out, exist_ok=True)
        for map_id, i, rgn, off in maps:
            subs = map_subfiles(map_id, i, rgn, off)
            exponent = pick_exponent(subs, args.block_exponent)
            total += write_container(os.path.join(args.out, "%08d.img" % map_id),
                                     subs, exponent, "Bench map %08d" % map_id, pattern)
        where = args.out
    if not args.quiet:
        print("gen_maps: %d maps, %.1f MiB in %s" % (args.maps, total / 2**20, where))


if __name__ == "__main__":
    main()
