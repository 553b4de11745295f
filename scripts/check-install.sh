#!/usr/bin/env bash
# Installs a configured build tree into a scratch prefix, then builds and runs examples/hello
# against it through find_package(KrStd) and checks the pkg-config file.
set -euo pipefail
build=${1:?configured build folder}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(find "$work/prefix" -name 'libKrStd.so' -printf '%h\n' | head -1)
test -d "$libdir/lng/en" || { echo "lng/ is not beside the installed library"; exit 1; }
test -f "$work/prefix/include/KrStd/KrStd.h" || { echo "umbrella header not installed"; exit 1; }

cmake -S "$root/examples/hello" -B "$work/hello" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/hello" >/dev/null
out=$(LD_LIBRARY_PATH="$libdir" "$work/hello/hello")
echo "$out"
grep -q "hello from KrStd (2 holders)" <<<"$out"
grep -q "caught: @Could not open settings.x-ini: No such file or directory" <<<"$out"

PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs KrStd | grep -q -- "-lKrStd"
echo "install check passed"
