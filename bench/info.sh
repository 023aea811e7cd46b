#!/usr/bin/env bash
# Times the listing `clx -i` against reading about as much as it has to: a
# listing reads the container header and FAT, the subfile headers and the
# catalogue, never the map data, so the baselines read the start of every
# file and of every subfile. What remains is the cost of the decoding and
# printing, and of how clx gets at those bytes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() {
    cat <<EOF
usage: bench/info.sh [options]

Generates the maps and one container holding them all, then times in
interleaved rounds (output to /dev/null):
  clx-i-many   clx -i -@ list.txt         (every single-map file)
  read-many    the first 64 KiB of every single-map file (all of a shorter
               one), one process, timed without the interpreter's start-up
  clx-i-one    clx -i -v all.img
  read-one     the first 64 KiB of all.img (its header and FAT if longer),
               then 4 KiB at the start of every subfile its FAT lists (one
               process, timed the same way; the FAT is parsed beforehand)

Options:
  --source join     build all.img with clx -j from the generated maps (default)
  --source gen      write all.img directly with gen_maps.py --single-container
EOF
    common_usage
}

defaults
work="${TMPDIR:-/tmp}/clx-bench-info"
parse_common "$@"
parse_source "${rest[@]+"${rest[@]}"}"
check_clx
[[ $source_kind == gen ]] || clx_knows -j || die "$clx has no join command (-j) yet; try --source gen"
check_work_dir "$work"
setup_drop_caches

mapdir="$work/maps"
list="$work/list.txt"
all="$work/all.img"
stamp="$all.stamp"
layout="$work/layout.txt"
log="$work/times.tsv"
probe="$work/probe"

cleanup() {
    rm -rf -- "$probe"
    rm -f -- "$layout"
    if ((!keep)); then
        rm -rf -- "$mapdir" "$mapdir.stamp" "$list" "$all" "$stamp" "$log" "$work/sizes.txt"
        rmdir -- "$work" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# clx_knows probes with -o, which a listing does not take: ask on one tiny
# map instead, before the big data is made.
rm -rf -- "$probe"
"$py" "$bench_dir/gen_maps.py" -q --out "$probe" --maps 1 --total-mb 1
clx_has -i "$probe/70000001.img" || die "$clx has no listing command (-i) yet"
rm -rf -- "$probe"

ensure_maps "$mapdir"
write_list "$mapdir" "$list"
read -r count bytes < <("${tool[@]}" sizes "$mapdir" "$work/sizes.txt")
((count > 0)) || die "no maps in $mapdir"

ensure_container "$all" "$mapdir" "$list"
all_bytes=$(stat -c %s "$all")

read -r subfiles fat_bytes < <("${tool[@]}" layout "$all" "$layout")
((subfiles > 0)) || die "no subfiles in the FAT of $all"
read -r _ many_read < <("${tool[@]}" heads "$list")
read -r _ one_read < <("${tool[@]}" skim "$all" "$layout")
note "all.img: $subfiles subfiles, header and FAT $((fat_bytes / 1024)) KiB"
note "the baselines read $((many_read / 1024)) KiB of the maps, $((one_read / 1024)) KiB of all.img"

# A listing that skips files or maps would time well: count them once
# (English messages, whatever the locale).
listed=$("$clx" -E -i -@ "$list" 2>/dev/null | grep -c '^File:' || true)
((listed == count)) || note "warning: clx -i -@ list.txt listed $listed files, there are $count"
listed=$("$clx" -E -i -v "$all" 2>/dev/null | grep -c '^ [0-9]\{8\} MPC ' || true)
((listed == maps)) || note "warning: clx -i -v all.img listed $listed maps, there are $maps"

run_clx_many() {
    "${tool[@]}" run clx-i-many "$1" --stdout /dev/null -- "$clx" -i -@ "$list"
}
# One read per file from one process: reading with dd or head would start
# a process per map, and those starts would outweigh the reading.
run_read_many() {
    "${tool[@]}" heads --log "$1" --label read-many "$list"
}
run_clx_one() {
    "${tool[@]}" run clx-i-one "$1" --stdout /dev/null -- "$clx" -i -v "$all"
}
run_read_one() {
    "${tool[@]}" skim --log "$1" --label read-one "$all" "$layout"
}

commands=(run_clx_many run_read_many run_clx_one run_read_one)
rm -f -- "$log"
note "$count maps, $((bytes / 1048576)) MiB, and a $((all_bytes / 1048576)) MiB container; $warmup warm-up and $rounds timed rounds"
for ((r = 1; r <= warmup + rounds; r++)); do
    target=$log
    ((r > warmup)) || target=/dev/null
    for c in "${commands[@]}"; do
        settle
        "$c" "$target"
    done
done

echo
echo "info: $count maps ($((bytes / 1048576)) MiB), all.img $((all_bytes / 1048576)) MiB with $subfiles subfiles (from $source_kind), $rounds rounds, $( ((drop)) && echo "cold" || echo "warm") cache"
"${tool[@]}" report "$log" --count "$count" --unit maps \
    --ratio clx-i-many/read-many --ratio clx-i-one/read-one --rss clx-i-many --rss clx-i-one
