#!/usr/bin/env bash
# Rebuilds the IMG test fixtures in tests/data/img with mkgmap from the
# synthetic data of tools/make_osm.py, and rewrites their README.md.
# The outputs are committed, so the tests never need Java; this script only
# documents and reproduces them.
#
# Needs: mkgmap (Debian package, made with r4905), python3. With faketime
# installed the clock is frozen, so every run writes the same bytes; without
# it only the dates inside the files change.
#
# Usage: tools/make_fixtures.sh        (from anywhere)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
dest="$root/tests/data/img"
mkgmap=${MKGMAP:-mkgmap}
clock="2024-01-01 12:00:00"

die() { echo "make_fixtures: $*" >&2; exit 1; }

command -v "$mkgmap" >/dev/null || die "mkgmap not found (apt-get install mkgmap)"
command -v python3 >/dev/null || die "python3 not found"
version=$("$mkgmap" --version 2>&1 | tail -n 1)
[[ "$version" == 4905 ]] || echo "make_fixtures: note: mkgmap r$version, fixtures were made with r4905" >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/clx-fixtures.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 "$here/make_osm.py" in
cp "$here/fixtures/test_typ.txt" in/test_typ.txt
# Our own copyright lines, so the maps carry no third-party licence text;
# the Polish letters also exercise the copyright labels.
printf '%s\n' "Dane syntetyczne clx" "Mapa testowa: zażółć gęślą jaźń" > in/copyright.txt

if command -v faketime >/dev/null; then
    # Frozen clock: the dates in the IMG headers become fixed too.
    run=(env TZ=UTC FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "$clock" "$mkgmap")
    dated="all dates inside the files are $clock UTC (mkgmap ran under faketime)"
else
    echo "make_fixtures: faketime not installed, dates in the outputs will be today's" >&2
    run=(env TZ=UTC "$mkgmap")
    dated="dates inside the files are those of the run (faketime was not installed)"
fi

# Options shared by every run. --code-page=1250 gives 8-bit labels in code
# page 1250 (--latin1 would be 1252, --unicode 65001); --lower-case keeps
# the labels' case instead of folding them to capitals.
common=(--code-page=1250 --lower-case --max-jobs=1
    --family-id=7001 --product-id=1
    --family-name="Rodzina testowa" --series-name="Seria testowa"
    --area-name="Okolice testowe"
    --country-name=Polska --country-abbr=PL
    --region-name=Mazowieckie --region-abbr=MZ
    --copyright-file=in/copyright.txt)

# Run 1: two routable tiles, their gmapsupp with index and TYP, the mapset
# files (TDB, overview map, MDR image, MDX) and the compiled TYP.
tiles=(--output-dir=out/tiles "${common[@]}"
    --route --index --location-autofill=is_in,nearest
    --tdbfile --overview-mapname=mapset --overview-mapnumber=63240000
    --mapname=63240001 --description="Kafelek 1" in/kafelek1.osm
    --mapname=63240002 --description="Kafelek 2" in/kafelek2.osm
    in/test_typ.txt
    --description="Mapa testowa clx" --gmapsupp)

# Run 2: one tiny tile with hill shading from the synthetic .hgt (input only,
# about 2.8 MB, never copied out).
dem=(--output-dir=out/dem "${common[@]}"
    --dem=in/hgt --dem-dists=9942,19884
    --mapname=63240003 --description="Kafelek DEM" in/kafelek3.osm)

# Run 3: a plain container of the three compiled tiles (no index, no TYP).
sample=(--output-dir=out/sample "${common[@]}"
    --description="Probka clx" --gmapsupp
    out/tiles/63240001.img out/tiles/63240002.img out/dem/63240003.img)

mkgmap_run() {
    local name=$1; shift
    mkdir -p "out/$name"
    if ! "${run[@]}" "$@" > "out/$name.log" 2>&1 \
        || ! grep -q "Number of MapFailedExceptions: 0" "out/$name.log" \
        || ! grep -q "Number of ExitExceptions: 0" "out/$name.log"; then
        cat "out/$name.log" >&2
        die "mkgmap run '$name' failed"
    fi
    if grep -E "WARNING|SEVERE|ERROR" "out/$name.log" | grep -v "max-jobs" >&2; then
        die "mkgmap run '$name' warned, see above"
    fi
}

mkgmap_run tiles "${tiles[@]}"
mkgmap_run dem "${dem[@]}"
mkgmap_run sample "${sample[@]}"

# What we keep, as "source destination" pairs.
keep=(
    out/tiles/63240001.img 63240001.img
    out/tiles/63240002.img 63240002.img
    out/dem/63240003.img 63240003.img
    out/tiles/gmapsupp.img gmapsupp.img
    out/sample/gmapsupp.img sample.img
    out/tiles/test_typ.typ test.typ
    out/tiles/mapset.tdb mapset.tdb
    out/tiles/mapset.img mapset.img
    out/tiles/mapset_mdr.img mapset_mdr.img
    out/tiles/mapset.mdx mapset.mdx
)
mkdir -p "$dest"
files=()
for ((i = 0; i < ${#keep[@]}; i += 2)); do
    src=${keep[i]} dst=${keep[i + 1]}
    [[ -f "$src" ]] || die "mkgmap did not write $src"
    cp "$src" "$dest/$dst"
    files+=("$dst")
done

# ---- README.md --------------------------------------------------------------

# Prints a command line readably, one argument a line:
# --opt='value with spaces'.
show_cmd() {
    local a
    printf 'mkgmap'
    for a in "$@"; do
        if [[ "$a" =~ ^(--[a-z0-9-]+=)(.*[[:space:]].*)$ ]]; then
            a="${BASH_REMATCH[1]}'${BASH_REMATCH[2]}'"
        fi
        printf ' \\\n    %s' "$a"
    done
    printf '\n'
}

size() { wc -c < "$dest/$1" | tr -d ' '; }

table() {
    python3 "$here/imgls.py" --markdown "$dest/$1"
}

listing() {
    (cd "$dest" && python3 "$here/imgls.py" -v "$@")
}

total=0
for f in "${files[@]}"; do total=$((total + $(size "$f"))); done

{
cat <<EOF
# IMG test fixtures

Small real maps made by mkgmap r$version from synthetic data, so the tests
need no Java. Do not edit them by hand: rebuild them all with
\`tools/make_fixtures.sh\`, which also rewrites this file.

- Inputs: \`tools/make_osm.py\` writes the OSM XML (fixed IDs, coordinates
  and timestamps) for two neighbouring tiny tiles near 52.20N 21.01E and a
  third one at 52.21N 21.15E (kept clear of the cell edge, where mkgmap
  also wants the neighbouring cell), and a synthetic 3 arc-second
  elevation cell \`N52E021.hgt\` (generated in a temporary
  directory, never committed); \`tools/fixtures/test_typ.txt\` is the TYP
  source.
- Labels are 8-bit code page 1250 (LBL label coding 9, code page 1250 in
  the LBL header) in mixed case, with Polish letters: streets
  "ulica Łódzka", "Żółta", "Świętokrzyska", "aleja Ęą", "Ćmielowska",
  "Źródlana", "Gęsia Ósma"; places "Wieś Źdźbło" (village) and
  "Przysiółek Ćma" (hamlet); POIs "Kawiarnia Pod Różą" (cafe),
  "Piekarnia Ścibor" (bakery), "Restauracja Żubr", "Sklep Ńą"; areas
  "Las Łęgowy" (forest) and "Dom Kultury Źródło" (building).
- Catalogue values everywhere: family ID 7001, product ID 1, family name
  "Rodzina testowa", series name "Seria testowa", area name
  "Okolice testowe", country "Polska"/PL, region "Mazowieckie"/MZ,
  copyright "Dane syntetyczne clx" and "Mapa testowa: zażółć gęślą jaźń".
- Dates: $dated.
- Total size of the files below: $total bytes.

| file | bytes | what |
| --- | ---: | --- |
| 63240001.img | $(size 63240001.img) | tile "Kafelek 1", map ID 63240001, routable (NET, NOD) |
| 63240002.img | $(size 63240002.img) | tile "Kafelek 2", map ID 63240002, routable, east neighbour of 63240001 |
| 63240003.img | $(size 63240003.img) | tile "Kafelek DEM", map ID 63240003, with DEM (2 zoom levels), no routing |
| gmapsupp.img | $(size gmapsupp.img) | device container "Mapa testowa clx": both routable tiles, MDR index, SRT, TYP, MPS catalogue |
| sample.img | $(size sample.img) | container "Probka clx": all three tiles and MPS, no index, no TYP |
| test.typ | $(size test.typ) | compiled TYP, code page 1250, FID 7001, PID 1 |
| mapset.tdb | $(size mapset.tdb) | mapset description for the two routable tiles |
| mapset.img | $(size mapset.img) | overview map of the mapset, map ID 63240000 |
| mapset_mdr.img | $(size mapset_mdr.img) | the mapset's search index (MDR and SRT) as its own container |
| mapset.mdx | $(size mapset.mdx) | index of the mapset's tiles for the search index |

## How they were made

All three runs work in a temporary directory holding \`in/\` (the inputs
above, plus \`in/copyright.txt\` with the two copyright lines) and write to
\`out/\`.

Run 1 — \`63240001.img\`, \`63240002.img\`, \`gmapsupp.img\`, \`test.typ\`
(mkgmap names it \`test_typ.typ\`) and the \`mapset.*\` files:

\`\`\`
$(show_cmd "${tiles[@]}")
\`\`\`

The TYP source is UTF-8 and says so in its first line
(\`-*- coding: utf-8 -*-\`); without that mkgmap reads it in the
\`CodePage\` it declares. Its strings are written in the code page of
\`--code-page\`: without that option mkgmap drops the strings that are not
plain ASCII.

Run 2 — \`63240003.img\`:

\`\`\`
$(show_cmd "${dem[@]}")
\`\`\`

Run 3 — \`sample.img\` (mkgmap names it \`gmapsupp.img\`), from the compiled
tiles of runs 1 and 2:

\`\`\`
$(show_cmd "${sample[@]}")
\`\`\`

## What mkgmap writes

Worth knowing when reading these files:

- No XOR mask (byte 0 is 0x00); block size 512 everywhere (exponents 9 and
  0 at 0x61/0x62), also in the gmapsupp containers.
- Byte 0x40 is 2 and the subfile table starts at 0x400; 0x200-0x3FF is all
  zeros. The table's first entry has a blank name and type, part value 3
  (u16 at 0x10) and lists the blocks of the header and table themselves.
  Real subfile entries have part 0; none needs a second entry here.
- Subfile headers: TRE 0xBC (map ID at 0x74), LBL 0xC4 (label coding 9 at
  0x1E, offset multiplier shift 1 at 0x1D, code page 1250 at 0xAA, and the
  sort description "Central European sort" as the first LBL string),
  RGN 0x7D, NET 0x37, NOD 0x7F, DEM 0x29, MDR 0x238, SRT 0x1D, TYP 0x9C.
- In a gmapsupp the catalogue is \`MAKEGMAP.MPS\` with records L (one per
  tile: product, family, map number, series, description, area, map ID),
  F (product, family, family name) and V ("OSM map set", mkgmap's
  default). The index and sort table are named after the family ID
  (\`00007001.MDR\`, \`00007001.SRT\`), the TYP after its source file
  (\`TEST_TYP.TYP\`). A gmapsupp made from compiled tiles still gets an
  SRT but no MDR.
- In a separate index image the MDR and SRT are named after the overview
  map (\`00MAPSET\`), and the container description is "Open Street Map".

## Contents

Subfile tables as listed by \`tools/imgls.py\` (sizes in bytes).

EOF
for f in 63240001.img 63240002.img 63240003.img gmapsupp.img sample.img mapset.img mapset_mdr.img; do
    printf '### %s\n\n' "$f"
    table "$f"
    printf '\n'
done
cat <<EOF
### Details

Output of \`tools/imgls.py -v\` on every fixture: container header, then one
line per subfile with its header length, the map ID in the TRE header, label
coding and code page from the LBL header, and the MPS catalogue records.

\`\`\`
$(listing "${files[@]}")
\`\`\`
EOF
} > "$dest/README.md"

echo "make_fixtures: wrote ${#files[@]} files ($total bytes) and README.md to $dest"
