#!/usr/bin/env bash
# Times `clx -j` joining many single-map containers against copying the
# same bytes into one file without looking at them, so the join's own cost
# (reading every subfile, summing it, block-aligned writing) shows as a
# ratio to what the disk and page cache allow anyway.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() {
    cat <<EOF
usage: bench/join.sh [options]

Generates the maps, then times in interleaved rounds:
  clx   clx -j -o out.img -@ list.txt
  cat   cat <all maps> > out.cat            (kernel copy: copy_file_range)
  dd    one dd bs=1M per map, all into one out.dd (includes a process
        start per map)
  rw    one process reading 1 MiB and writing it, map after map (timed
        without the interpreter's start-up)

Options:
EOF
    common_usage
}

defaults
work="${TMPDIR:-/tmp}/clx-bench-join"
parse_common "$@"
((${#rest[@]} == 0)) || die "unknown argument: ${rest[0]} (see --help)"
check_clx
clx_knows -j || die "$clx has no join command (-j) yet"
check_work_dir "$work"
setup_drop_caches

mapdir="$work/maps"
list="$work/list.txt"
log="$work/times.tsv"
outputs=("$work/out.img" "$work/out.cat" "$work/out.dd" "$work/out.rw")

cleanup() {
    rm -f -- "${outputs[@]}" "$work/clx.out"
    if ((!keep)); then
        rm -rf -- "$mapdir" "$mapdir.stamp" "$list" "$log" "$work/sizes.txt"
        rmdir -- "$work" 2>/dev/null || true
    fi
}
trap cleanup EXIT

ensure_maps "$mapdir"
write_list "$mapdir" "$list"
read -r count bytes < <("${tool[@]}" sizes "$mapdir" "$work/sizes.txt")
((count > 0)) || die "no maps in $mapdir"

run_clx() {
    "${tool[@]}" run clx "$1" --stdout "$work/clx.out" -- "$clx" -j -o "$work/out.img" -@ "$list"
}
run_cat() {
    "${tool[@]}" run cat "$1" --stdout "$work/out.cat" --args-from "$list" -- cat
}
# dd copies one input per process, so the user-space baseline starts one dd
# per map, all appending to the same stdout; piping one `cat` into one dd
# would time cat's copy plus a pipe instead. Those thousands of process
# starts are part of dd's time but not of the copying, so `rw` is the same
# 1 MiB read/write loop in one process, timed without its start-up: the
# user-space copy clx has to be measured against.
run_dd() {
    # shellcheck disable=SC2016 # $f and $1 belong to the inner bash
    "${tool[@]}" run dd "$1" --stdout "$work/out.dd" -- \
        bash -c 'while IFS= read -r f; do dd if="$f" bs=1M status=none || exit 1; done <"$1"' _ "$list"
}
run_rw() {
    "${tool[@]}" concat --log "$1" --label rw "$list" "$work/out.rw"
}

commands=(run_clx run_cat run_dd run_rw)
rm -f -- "$log"
note "$count maps, $((bytes / 1048576)) MiB; $warmup warm-up and $rounds timed rounds"
for ((r = 1; r <= warmup + rounds; r++)); do
    target=$log
    ((r > warmup)) || target=/dev/null
    for c in "${commands[@]}"; do
        rm -f -- "${outputs[@]}"
        settle
        "$c" "$target"
        if [[ $c == run_clx && $r == 1 ]]; then
            # A join that loses data would time well; check the size once.
            got=$(stat -c %s "$work/out.img")
            ((got >= bytes * 9 / 10)) ||
                note "warning: out.img has $got bytes, the maps $bytes"
        fi
    done
done
rm -f -- "${outputs[@]}"

echo
echo "join: $count maps, $((bytes / 1048576)) MiB in, $rounds rounds, $( ((drop)) && echo "cold" || echo "warm") cache"
"${tool[@]}" report "$log" --bytes "$bytes" --ratio clx/dd --ratio clx/cat --ratio clx/rw --rss clx
