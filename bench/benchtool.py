#!/usr/bin/env python3
"""Helpers shared by join.sh, split.sh and info.sh.

  benchtool.py run LABEL LOG [--stdout F] [--args-from LIST] -- CMD...
      runs CMD once, appends "LABEL<TAB>seconds<TAB>peak-RSS-KiB<TAB>how"
      to LOG
  benchtool.py concat [--log LOG --label L] LIST OUT
      user-space copy of the files named in LIST into OUT, 1 MiB at a time
  benchtool.py spread [--log LOG --label L] IN SIZES OUTDIR
      copies IN into as many files as SIZES has lines, of those sizes,
      1 MiB at a time (reading IN again from the start if it runs out)
  With --log, concat and spread time their own copying, without the
  interpreter's start-up, and log it like run does (no RSS).
  benchtool.py heads [--log LOG --label L] LIST
      reads the first 64 KiB of every file named in LIST (all of a
      shorter one)
  benchtool.py layout IMG OUT
      from the FAT of the container IMG: its header-and-FAT length, then
      where every subfile starts, one a line, into OUT
  benchtool.py skim [--log LOG --label L] IMG LAYOUT
      reads the first 64 KiB of IMG, or its header and FAT if longer, then
      4 KiB at the start of every subfile LAYOUT lists
  With --log, heads and skim are timed like concat; without, they print
  how many reads and bytes that takes.
  benchtool.py sizes DIR OUT
      the sizes of all regular files under DIR, one a line, into OUT
  benchtool.py report LOG (--bytes N | --count N --unit NAME)
                      [--ratio A/B]... [--rss LABEL]...
      medians per label, throughput (MiB/s, or NAME/s over N), ratios of
      medians, peak RSS
"""

import argparse
import os
import resource
import statistics
import struct
import subprocess
import sys
import tempfile
import time

CHUNK = 1 << 20
# The listing baselines' reads: a container's start (header, FAT and more
# for a single map), and a subfile's start (more than any header in it).
HEAD = 64 << 10
SUBFILE_HEAD = 4 << 10


GNU_TIME = "/usr/bin/time"


def has_gnu_time():
    try:
        out = subprocess.run([GNU_TIME, "--version"], capture_output=True, timeout=10)
    except (OSError, subprocess.SubprocessError):
        return False
    return b"GNU" in out.stdout + out.stderr


def log_line(log, label, wall, rss_kib, how):
    with open(log, "a") as f:
        f.write("%s\t%.6f\t%d\t%s\n" % (label, wall, rss_kib, how))


def cmd_run(args):
    command = list(args.command)
    if not command:
        sys.exit("benchtool run: no command")
    if args.args_from:
        with open(args.args_from) as f:
            command += [line.rstrip("\n") for line in f if line.strip()]
    # The kernel keeps the peak RSS of a process across exec, so a child
    # forked from this interpreter would report at least the interpreter's
    # size; GNU time is small enough not to matter. Without it the figure
    # from getrusage has that floor, and the report says so.
    rss_file = None
    how = "rusage"
    if has_gnu_time():
        fd, rss_file = tempfile.mkstemp(prefix="benchtool-rss.")
        os.close(fd)
        command = [GNU_TIME, "-f", "%M", "-o", rss_file] + command
        how = "time"
    out = open(args.stdout, "wb") if args.stdout else subprocess.DEVNULL
    try:
        start = time.monotonic()
        proc = subprocess.run(command, stdout=out, stderr=subprocess.PIPE)
        wall = time.monotonic() - start
        if rss_file:
            with open(rss_file) as f:
                lines = f.read().split()
            rss_kib = int(lines[-1]) if lines and lines[-1].isdigit() else 0
        else:
            rss_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    finally:
        if args.stdout:
            out.close()
        if rss_file:
            os.unlink(rss_file)
    if proc.returncode != 0:
        sys.stderr.write(proc.stderr.decode(errors="replace")[-4000:])
        sys.exit("benchtool run: %s failed with status %d: %s"
                 % (args.label, proc.returncode, " ".join(command[:10])))
    log_line(args.log, args.label, wall, rss_kib, how)


def timed(args, work):
    start = time.monotonic()
    result = work()
    wall = time.monotonic() - start
    if args.log:
        log_line(args.log, args.label or "copy", wall, 0, "self")
    return result


def copy_stream(src, dst, length, buf):
    """Copies up to `length` bytes (all when None); returns bytes copied."""
    view = memoryview(buf)
    done = 0
    while length is None or done < length:
        want = CHUNK if length is None else min(CHUNK, length - done)
        n = src.readinto(view[:want])
        if not n:
            break
        dst.write(view[:n])
        done += n
    return done


def cmd_concat(args):
    with open(args.list) as f:
        names = [line.rstrip("\n") for line in f if line.strip()]
    buf = bytearray(CHUNK)

    def work():
        with open(args.out, "wb", buffering=0) as dst:
            for name in names:
                with open(name, "rb", buffering=0) as src:
                    copy_stream(src, dst, None, buf)
    timed(args, work)


def cmd_spread(args):
    with open(args.sizes) as f:
        sizes = [int(line) for line in f if line.strip()]
    buf = bytearray(CHUNK)
    timed(args, lambda: spread(args, sizes, buf))


def spread(args, sizes, buf):
    os.makedirs(args.outdir, exist_ok=True)
    with open(args.input, "rb", buffering=0) as src:
        if os.fstat(src.fileno()).st_size == 0 and any(sizes):
            sys.exit("benchtool spread: empty input")
        for i, size in enumerate(sizes):
            with open(os.path.join(args.outdir, "part%06d" % i), "wb", buffering=0) as dst:
                left = size
                while left:
                    n = copy_stream(src, dst, left, buf)
                    if n == 0:  # the outputs may hold more bytes than the input
                        src.seek(0)
                    left -= n


def read_full(src, view):
    """Fills view from src unless the file ends first; returns bytes read."""
    done = 0
    while done < len(view):
        n = src.readinto(view[done:])
        if not n:
            break
        done += n
    return done


def report_reads(args, reads_bytes):
    if not args.log:
        print("%d %d" % reads_bytes)


def cmd_heads(args):
    with open(args.list) as f:
        names = [line.rstrip("\n") for line in f if line.strip()]
    view = memoryview(bytearray(HEAD))

    def work():
        total = 0
        for name in names:
            with open(name, "rb", buffering=0) as src:
                total += read_full(src, view)
        return len(names), total
    report_reads(args, timed(args, work))


def container_layout(path):
    """Header-and-FAT length and the subfiles' first bytes, in FAT order.

    Only as much of the format as finding those needs: unmasked
    containers whose FAT starts where byte 0x40 says, as gen_maps.py and
    clx -j write them.
    """
    with open(path, "rb") as f:
        probe = f.read(HEAD)
        fat = probe[0x40] * 512 if len(probe) > 0x62 else 0
        if (probe[0x10:0x16] != b"DSKIMG" or probe[0x41:0x47] != b"GARMIN"
                or fat < 512 or fat + 512 > len(probe)):
            sys.exit("benchtool layout: %s is not a container this can read" % path)
        block = 1 << (probe[0x61] + probe[0x62])
        header_len = struct.unpack_from("<I", probe, fat + 0x0C)[0]
        f.seek(0)
        header = f.read(header_len)
    starts = []
    blank = b" " * 11
    for at in range(fat + 512, len(header) - 511, 512):
        # Part 0 of a named subfile holds its length and first block; the
        # blank-named entries list the header's own blocks.
        if (header[at] == 1 and header[at + 0x11] == 0
                and header[at + 1:at + 12] != blank
                and struct.unpack_from("<I", header, at + 0x0C)[0]):
            starts.append(struct.unpack_from("<H", header, at + 0x20)[0] * block)
    return header_len, starts


def cmd_layout(args):
    header_len, starts = container_layout(args.input)
    with open(args.out, "w") as f:
        f.write("%d\n" % header_len)
        f.writelines("%d\n" % at for at in starts)
    print("%d %d" % (len(starts), header_len))


def cmd_skim(args):
    # Where to read comes from `layout`, run once beforehand: parsing here
    # would read the header before the clock starts (warming the cache
    # that --drop-caches just emptied) or time Python's parsing.
    with open(args.layout) as f:
        header_len, *starts = [int(line) for line in f if line.strip()]
    view = memoryview(bytearray(max(HEAD, header_len)))
    small = view[:SUBFILE_HEAD]

    def work():
        with open(args.input, "rb", buffering=0) as src:
            total = read_full(src, view)
            for at in starts:
                src.seek(at)
                total += read_full(src, small)
        return 1 + len(starts), total
    report_reads(args, timed(args, work))


def cmd_sizes(args):
    sizes = []
    for root, _, files in os.walk(args.dir):
        for name in files:
            st = os.lstat(os.path.join(root, name))
            sizes.append(st.st_size)
    with open(args.out, "w") as f:
        f.writelines("%d\n" % s for s in sizes)
    print("%d %d" % (len(sizes), sum(sizes)))


def cmd_report(args):
    runs = {}
    how = {}
    order = []
    with open(args.log) as f:
        for line in f:
            label, wall, rss, method = line.rstrip("\n").split("\t")
            if label not in runs:
                runs[label] = []
                order.append(label)
            runs[label].append((float(wall), int(rss)))
            how[label] = method
    med = {k: statistics.median(w for w, _ in v) for k, v in runs.items()}
    peak = {k: max(r for _, r in v) / 1024 for k, v in runs.items()}
    if args.count is not None:
        amount, unit = args.count, (args.unit or "items") + "/s"
    else:
        amount, unit = args.bytes / 2**20, "MiB/s"
    wide = max([8] + [len(k) for k in order])
    print("%-*s %4s %9s %8s %8s %7s %9s"
          % (wide, "command", "runs", "median s", "min s", "max s", unit, "peak RSS"))
    for k in order:
        walls = [w for w, _ in runs[k]]
        rss = "%7.1f M" % peak[k] if how[k] != "self" else "%9s" % "-"
        print("%-*s %4d %9.3f %8.3f %8.3f %7.0f %s"
              % (wide, k, len(walls), med[k], min(walls), max(walls),
                 amount / med[k] if med[k] else float("inf"), rss))
    print()
    lines = []
    for r in args.ratio or []:
        a, b = r.split("/")
        if a in med and b in med and med[b] > 0:
            lines.append(("%s / %s" % (a, b), "%7.2f" % (med[a] / med[b])))
    for k in args.rss or []:
        if k in runs:
            lines.append(("peak RSS " + k, "%7.1f MiB" % peak[k]))
    wide = max([20] + [len(name) for name, _ in lines])
    for name, value in lines:
        print("%-*s %s" % (wide, name, value))
    if any(how[k] == "rusage" for k in order):
        print("(peak RSS from getrusage: no GNU time, so each figure includes"
              " the measuring interpreter's own size)")


def main():
    ap = argparse.ArgumentParser(description="benchmark helpers")
    sub = ap.add_subparsers(dest="what", required=True)
    p = sub.add_parser("run")
    p.add_argument("label")
    p.add_argument("log")
    p.add_argument("--stdout")
    p.add_argument("--args-from")
    p.set_defaults(fn=cmd_run)
    p = sub.add_parser("concat")
    p.add_argument("--log")
    p.add_argument("--label")
    p.add_argument("list")
    p.add_argument("out")
    p.set_defaults(fn=cmd_concat)
    p = sub.add_parser("spread")
    p.add_argument("--log")
    p.add_argument("--label")
    p.add_argument("input")
    p.add_argument("sizes")
    p.add_argument("outdir")
    p.set_defaults(fn=cmd_spread)
    p = sub.add_parser("heads")
    p.add_argument("--log")
    p.add_argument("--label")
    p.add_argument("list")
    p.set_defaults(fn=cmd_heads)
    p = sub.add_parser("layout")
    p.add_argument("input")
    p.add_argument("out")
    p.set_defaults(fn=cmd_layout)
    p = sub.add_parser("skim")
    p.add_argument("--log")
    p.add_argument("--label")
    p.add_argument("input")
    p.add_argument("layout")
    p.set_defaults(fn=cmd_skim)
    p = sub.add_parser("sizes")
    p.add_argument("dir")
    p.add_argument("out")
    p.set_defaults(fn=cmd_sizes)
    p = sub.add_parser("report")
    p.add_argument("log")
    what = p.add_mutually_exclusive_group(required=True)
    what.add_argument("--bytes", type=int)
    what.add_argument("--count", type=int)
    p.add_argument("--unit", help="what --count counts (default items)")
    p.add_argument("--ratio", action="append")
    p.add_argument("--rss", action="append")
    p.set_defaults(fn=cmd_report)
    # Everything after "--" is the command to run, options and all.
    argv = sys.argv[1:]
    command = []
    if argv and argv[0] == "run" and "--" in argv:
        cut = argv.index("--")
        argv, command = argv[:cut], argv[cut + 1:]
    args = ap.parse_args(argv)
    args.command = command
    args.fn(args)


if __name__ == "__main__":
    main()
