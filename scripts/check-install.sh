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

# pkg-config: the same client built by hand from the installed .pc file alone (relocatable: the
# prefix is not the one configured at build time).
export PKG_CONFIG_PATH="$libdir/pkgconfig"
incdir=$(pkg-config --cflags-only-I KrStd | tr ' ' '\n' | sed -n 's/^-I//p' | head -1)
test -f "$incdir/KrStd.h" || { echo "pkg-config --cflags KrStd names $incdir, which lacks KrStd.h"; exit 1; }
# shellcheck disable=SC2046
c++ -std=c++17 -fPIC "$root/examples/hello/main.cpp" -o "$work/hello-pc" $(pkg-config --cflags --libs KrStd)
out=$(LD_LIBRARY_PATH="$libdir" "$work/hello-pc")
grep -q "hello from KrStd (2 holders)" <<<"$out"

# Only the interface is exported: no internal helper of the library is visible to clients.
leaked=$(nm -D --defined-only -C "$libdir/libKrStd.so" |
  grep -E 'TKrBigBuffer|TKrXIniDocQ|KrCrcInternal|KrXmlScan|TKrFixStack|KrModuleHooks' || true)
[ -z "$leaked" ] || { echo "internal symbols exported:"; echo "$leaked"; exit 1; }
echo "exported symbols: $(nm -D --defined-only "$libdir/libKrStd.so" | wc -l)"
echo "install check passed"
