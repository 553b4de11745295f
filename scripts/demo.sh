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
