# shellcheck shell=bash disable=SC2034
# Shared by join.sh, split.sh and info.sh (sourced, not run); sets variables they use.

bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_root=$(cd "$bench_dir/.." && pwd)
# The interpreter itself, not a version manager's shim in front of it.
py=$(python3 -c 'import sys; print(sys.executable)')
tool=("$py" "$bench_dir/benchtool.py")

die() { echo "${0##*/}: $*" >&2; exit 1; }
note() { echo "${0##*/}: $*" >&2; }

# The data sets are large: keep them out of the repository, and never let a
# typo such as --work / reach the clean-up.
check_work_dir() {
    local w
    w=$(realpath -m -- "$1")
    [[ "$w" != "/" ]] || die "refusing / as work directory"
    [[ "$w" != "$repo_root" && "$w" != "$repo_root"/* ]] ||
        die "work directory $w is inside the repository; choose one outside (e.g. under /tmp)"
    mkdir -p -- "$w"
    work=$w
}

check_clx() {
    [[ -x "$clx" ]] || die "no clx binary at $clx (make release, or pass --clx PATH)"
}

# Runs clx once; false when the binary says the command is not built in
# yet, fatal when it fails otherwise.
clx_has() {
    local out
    out=$("$clx" "$@" 2>&1) && return 0
    if grep -q "not available" <<<"$out"; then return 1; fi
    printf '%s\n' "$out" | tail -n 20 >&2
    die "clx $* failed"
}

# Asks early, before any big data is made, whether clx has a command at
# all, by running it on one tiny generated map.
clx_knows() {
    local tmp out
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/clx-bench-probe.XXXXXX")
    "$py" "$bench_dir/gen_maps.py" -q --out "$tmp/in" --maps 1 --total-mb 1
    mkdir "$tmp/out"
    out=$("$clx" "$1" -o "$tmp/out/x.img" "$tmp/in/70000001.img" 2>&1) || true
    rm -rf -- "$tmp"
    ! grep -q "not available" <<<"$out"
}

# Cache dropping needs a writable /proc/sys, which containers and CI often
# lack even as root: try once and fall back to warm-cache runs.
setup_drop_caches() {
    ((drop)) || return 0
    if sync && (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
        note "dropping the page cache before every timed run"
    else
        note "cannot write /proc/sys/vm/drop_caches; running with a warm cache"
        drop=0
    fi
}

# Written outputs still being flushed would slow the next run down, so every
# run starts with nothing dirty (and, if asked, nothing cached).
settle() {
    sync
    if ((drop)); then echo 3 >/proc/sys/vm/drop_caches; fi
}

# Regenerates the maps only when the arguments or the generator changed.
ensure_maps() {
    local dir=$1 stamp="$1.stamp" want
    want="maps=$maps total_mb=$total_mb gen=$(md5sum <"$bench_dir/gen_maps.py" | cut -c1-32)"
    if ((!regen)) && [[ -d "$dir" && -f "$stamp" && "$(cat "$stamp")" == "$want" ]]; then
        note "reusing the maps in $dir"
        return
    fi
    rm -rf -- "$dir" "$stamp"
    local t0=$SECONDS
    "$py" "$bench_dir/gen_maps.py" --out "$dir" --maps "$maps" --total-mb "$total_mb"
    note "generated in $((SECONDS - t0)) s"
    echo "$want" >"$stamp"
}

# clx takes the many names through a list file: no argument-length limits.
write_list() {
    find "$1" -maxdepth 1 -name '*.img' -type f | LC_ALL=C sort >"$2"
}

# The --source option of the scripts that time one big container; anything
# else left over is an error.
parse_source() {
    source_kind="join"
    while (($#)); do
        case $1 in
        --source) source_kind=${2:-}; shift 2 || die "--source needs a value" ;;
        *) die "unknown argument: $1 (see --help)" ;;
        esac
    done
    [[ $source_kind == join || $source_kind == gen ]] || die "--source is join or gen"
}

# Makes the container $1 from --source unless the one there was made with the
# same arguments: gen_maps.py writes it, or clx -j joins the maps of
# directory $2, listed in $3 (both made here when missing).
ensure_container() {
    local all=$1 mapdir=$2 list=$3 want
    want="source=$source_kind maps=$maps total_mb=$total_mb gen=$(md5sum <"$bench_dir/gen_maps.py" | cut -c1-32)"
    if ((!regen)) && [[ -f "$all" && -f "$all.stamp" && "$(cat "$all.stamp")" == "$want" ]]; then
        note "reusing $all"
        return
    fi
    rm -f -- "$all" "$all.stamp"
    if [[ $source_kind == gen ]]; then
        "$py" "$bench_dir/gen_maps.py" --single-container "$all" --maps "$maps" --total-mb "$total_mb"
    else
        ensure_maps "$mapdir"
        write_list "$mapdir" "$list"
        clx_has -j -o "$all" -@ "$list" || die "$clx has no join command (-j) yet; try --source gen"
        [[ -f "$all" ]] || die "clx -j wrote no $all"
    fi
    echo "$want" >"$all.stamp"
}

common_usage() {
    cat <<EOF
  --maps N          maps to generate (default $maps)
  --total-mb MB     their total size in MiB (default $total_mb)
  --rounds R        timed rounds, commands interleaved in each (default $rounds)
  --warmup W        untimed rounds first (default $warmup)
  --work DIR        work directory outside the repository (default $work)
  --clx PATH        clx binary (default $clx)
  --drop-caches     drop the page cache before each timed run (needs root
                    and a writable /proc/sys; default: warm cache)
  --keep            keep the generated data for the next run (it is reused
                    when the arguments match)
  --regen           generate the data again even if it could be reused
EOF
}

# Parses the options both scripts share; sets `rest` to what is left.
parse_common() {
    rest=()
    while (($#)); do
        case $1 in
        --maps) maps=$2; shift 2 ;;
        --total-mb) total_mb=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --warmup) warmup=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        --clx) clx=$2; shift 2 ;;
        --drop-caches) drop=1; shift ;;
        --keep) keep=1; shift ;;
        --regen) regen=1; shift ;;
        -h | --help) usage; exit 0 ;;
        *) rest+=("$1"); shift ;;
        esac
    done
    [[ "$maps" =~ ^[0-9]+$ && "$total_mb" =~ ^[0-9]+$ && "$rounds" =~ ^[1-9][0-9]*$ && "$warmup" =~ ^[0-9]+$ ]] ||
        die "--maps, --total-mb, --rounds and --warmup take numbers"
}

defaults() {
    maps=2000
    total_mb=1500
    rounds=5
    warmup=1
    clx="$repo_root/build/release/clx"
    drop=0
    keep=0
    regen=0
}
