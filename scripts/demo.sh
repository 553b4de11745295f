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
run path simplify "/data/./project//images/../dem/tile.tif"
run path relative /data/project/dem/tile.tif /data/project/images
run path split /data/project/dem/tile.tif
