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
