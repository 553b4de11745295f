#!/usr/bin/env bash
# Runs every libFuzzer target in a folder for the given seconds, each on a scratch copy of its seeds.
set -euo pipefail
dir=${1:?fuzz folder} corpus=${2:?corpus folder} seconds=${3:-60}
shopt -s nullglob
status=0
for f in "$dir"/*; do
  [ -x "$f" ] && [ -f "$f" ] || continue
  name=$(basename "$f")
  work=$(mktemp -d)
  [ -d "$corpus/$name" ] && cp -r "$corpus/$name/." "$work/"
  echo "== $name (${seconds}s)"
  if ! "$f" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$dir/$name-" "$work" \
       2>"$dir/$name.log"; then
    echo "   FAILED: see $dir/$name.log"; status=1
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss' "$dir/$name.log" | sed 's/^/   /' || true
  rm -rf "$work"
done
exit $status
