#!/usr/bin/env bash
# Runs every benchmark program in the given folder; each prints our figures beside its peer's.
set -euo pipefail
dir=${1:?bench folder}
shopt -s nullglob
for b in "$dir"/*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
