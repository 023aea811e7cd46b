#!/usr/bin/env bash
# Times `clx -s` (one container per map) and `clx -g` (one file per subfile)
# on one big container against copying its bytes into one file and into as
# many files, of the same sizes, as clx writes: what remains is the cost of
# the splitting itself and of creating that many files.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() {
    cat <<EOF
usage: bench/split.sh [options]

Builds one container holding all the maps, then times in interleaved rounds:
  clx-s   clx -s -o DIR all.img    (fresh empty DIR every run)
  clx-g   clx -g -o DIR all.img
  dd      dd bs=1M of all.img into one file
  rw-s    all.img copied 1 MiB at a time into as many files as clx -s
          writes, of the same sizes (one process, timed without the
          interpreter's start-up)
  rw-g    the same for the files of clx -g
A command clx does not have yet is left out.

Options:
  --source join     build all.img with clx -j from generated maps (default)
  --source gen      write all.img directly with gen_maps.py --single-container
EOF
    common_usage
}

defaults
work="${TMPDIR:-/tmp}/clx-bench-split"
parse_common "$@"
parse_source "${rest[@]+"${rest[@]}"}"
check_clx
clx_knows -s || clx_knows -g || die "$clx has neither -s nor -g yet"
[[ $source_kind == gen ]] || clx_knows -j || die "$clx has no join command (-j) yet; try --source gen"
check_work_dir "$work"
setup_drop_caches

all="$work/all.img"
stamp="$all.stamp"
log="$work/times.tsv"
outdirs=("$work/out-s" "$work/out-g" "$work/out-rw-s" "$work/out-rw-g")
outfiles=("$work/out.dd")

clear_outputs() {
    rm -rf -- "${outdirs[@]}"
    rm -f -- "${outfiles[@]}"
}

cleanup() {
    clear_outputs
    rm -f -- "$work/clx.out"
    rm -rf -- "$work/maps" "$work/maps.stamp" "$work/list.txt" "$work/probe"
    if ((!keep)); then
        rm -f -- "$all" "$stamp" "$log" "$work/sizes-s.txt" "$work/sizes-g.txt"
        rmdir -- "$work" 2>/dev/null || true
    fi
}
trap cleanup EXIT

ensure_container "$all" "$work/maps" "$work/list.txt"
# The single maps are not needed any more: half the disk space.
rm -rf -- "$work/maps" "$work/maps.stamp" "$work/list.txt"
bytes=$(stat -c %s "$all")

# Which split commands exist, and how many files of which sizes each writes
# (the copy baselines write the same).
commands=()
ratios=()
for mode in s g; do
    rm -rf -- "$work/probe"
    mkdir -p -- "$work/probe"
    if clx_has "-$mode" -o "$work/probe" "$all"; then
        read -r n total < <("${tool[@]}" sizes "$work/probe" "$work/sizes-$mode.txt")
        ((n > 0)) || die "clx -$mode wrote no files"
        note "clx -$mode writes $n files, $((total / 1048576)) MiB"
        commands+=("run_clx $mode" "run_rw $mode")
        ratios+=(--ratio "clx-$mode/dd" --ratio "clx-$mode/rw-$mode")
    else
        note "clx has no -$mode yet: left out"
    fi
done
rm -rf -- "$work/probe"
((${#commands[@]})) || die "$clx has neither -s nor -g yet"
commands+=(run_dd)

run_clx() {
    mkdir -p -- "$work/out-$1"
    "${tool[@]}" run "clx-$1" "$2" --stdout "$work/clx.out" -- "$clx" "-$1" -o "$work/out-$1" "$all"
}
# One dd for the whole file: a single process, so no start-up cost skews it.
run_dd() {
    "${tool[@]}" run dd "$1" -- dd if="$all" of="$work/out.dd" bs=1M status=none
}
# Thousands of files would mean thousands of dd processes, and starting
# them would cost more than the copying: one process reads 1 MiB at a time
# and writes the files clx writes, with their sizes, timing only that.
run_rw() {
    "${tool[@]}" spread --log "$2" --label "rw-$1" "$all" "$work/sizes-$1.txt" "$work/out-rw-$1"
}

rm -f -- "$log"
note "$((bytes / 1048576)) MiB container; $warmup warm-up and $rounds timed rounds"
for ((r = 1; r <= warmup + rounds; r++)); do
    target=$log
    ((r > warmup)) || target=/dev/null
    for c in "${commands[@]}"; do
        clear_outputs
        settle
        $c "$target"
    done
done
clear_outputs

echo
echo "split: $maps maps, $((bytes / 1048576)) MiB container (from $source_kind), $rounds rounds, $( ((drop)) && echo "cold" || echo "warm") cache"
"${tool[@]}" report "$log" --bytes "$bytes" "${ratios[@]}" --rss clx-s --rss clx-g
