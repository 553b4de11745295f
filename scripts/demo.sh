#!/usr/bin/env bash
# The demo: krtool on the samples shipped in samples/.
set -euo pipefail
krtool=${1:?path to krtool}
root=$(cd "$(dirname "$0")/.." && pwd)
run() { printf '\n$ krtool %s\n' "$*"; "$krtool" "$@"; }

run info
echo
echo "# messages from samples/messages.txt (format, then parameters, tab-separated)"
while IFS=$'\t' read -r -a fields; do
  run message "${fields[@]}"
done < "$root/samples/messages.txt"

echo
echo "# checksums and time of the sample"
run crc32 "$root/samples/messages.txt"
run crc64 "$root/samples/messages.txt"
run md5 "$root/samples/messages.txt"
run time 2026-12-05T12:00:00.250Z

echo
echo "# gzip round trip of the sample, and path rules"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
run gzip -l 9 --name messages.txt --comment "demo sample" "$root/samples/messages.txt" "$tmp/messages.txt.gz"
run gunzip "$tmp/messages.txt.gz" "$tmp/messages.txt"
cmp -s "$root/samples/messages.txt" "$tmp/messages.txt" && echo "round trip: identical bytes"
(cd "$root" && run tar create "$tmp/samples.tar.gz" samples && run tar list "$tmp/samples.tar.gz")
run path simplify "/data/./project//images/../dem/tile.tif"
run path relative /data/project/dem/tile.tif /data/project/images
run path split /data/project/dem/tile.tif

echo
echo "# the sample project file (XIni, gzip-compressed): dump, query, convert, check"
run xini validate "$root/samples/project.x-ini.gz"
printf '\n$ krtool xini dump samples/project.x-ini.gz | head -n 12\n'
"$krtool" xini dump "$root/samples/project.x-ini.gz" > "$tmp/dump.txt"
head -n 12 "$tmp/dump.txt"
run xini get "$root/samples/project.x-ini.gz" Par/Count
run xini get "$root/samples/project.x-ini.gz" Par/Name
run xini get "$root/samples/project.x-ini.gz" Images/Image/Position
run xini get "$root/samples/project.x-ini.gz" "Images/Image[3]/File"
run xini convert "$root/samples/project.x-ini.gz" "$tmp/project.x-ini"
printf '\n$ head -n 6 project.x-ini\n'
head -n 6 "$tmp/project.x-ini"
run xini convert "$root/samples/project.x-ini.gz" "$tmp/project-compact.x-ini.gz" --compact --gzip 6 --layers 1
ls -l "$tmp/project.x-ini" "$tmp/project-compact.x-ini.gz" | awk '{print $5, $NF}' | sed "s|$tmp/||"
printf '<krini><x n="Par"><i n="Count" v="3" t="1"/></x></krini>\n' > "$tmp/broken.x-ini"
printf '\n$ krtool xini validate broken.x-ini\n'
"$krtool" xini validate "$tmp/broken.x-ini" || echo "(exit code $?)"

echo
echo "# language texts: the shipped languages, and one text through the chain de -> en"
run lang list
run lang --lang de list
run lang --lang de text KrStd general.Err_Read_name
run lang --lang de text KrStd general.Err_XIni_Format

echo
echo "# a plane transform fitted to image-to-map point pairs; the mismatched pair is screened out"
run transform fit "$root/samples/pairs.csv" --screen 0.1 --tolerance 0.1 --per-point --out "$tmp/image-to-map.x-ini"
printf '100,100\n2000,1500\n' > "$tmp/pixels.csv"
run transform apply "$tmp/image-to-map.x-ini" "$tmp/pixels.csv"
run poly union-all "$root/samples/parcels.wkt" # three land parcels, one with a courtyard, merged

echo
echo "# a report template (a band over the points, a condition, widths) in German"
run report "$root/samples/report.tmpl" "$root/samples/report-data.x-ini" --lang de

# Only when krtool was built with the GDAL adapter (its command list names "raster").
if "$krtool" --help 2>&1 | grep -q '^ *raster'; then
  echo
  echo "# an image file through the GDAL adapter: describe it, write a half-size copy"
  run raster info "$root/samples/pattern.tif"
  run raster read "$root/samples/pattern.tif" "$tmp/pattern-half.png" --pixel-size 2 --filter linear
  run raster info "$tmp/pattern-half.png"
fi
if "$krtool" --help 2>&1 | grep -q '^ *raster'; then
  echo
  echo "# a 4x enlargement read through an 8 MiB tile cache, then every pyramid level of it"
  run raster read "$root/samples/pattern.tif" "$tmp/pattern-x4.png" --pixel-size 0.25 --filter linear --cache 8
  run raster pyramid "$tmp/pattern-x4.png" "$tmp/pattern-levels"
fi

echo
echo "# the start-up log of a run (--startup_log), read back through the log parser"
TMPDIR="$tmp" "$krtool" --startup_log crc32 "$root/samples/messages.txt" > /dev/null
run log tail -n 3 "$tmp"/KrFrw-*.log
