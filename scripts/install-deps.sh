#!/usr/bin/env bash
# Installs every Debian package the build, tests and tools need; only what is missing.
# Usage: scripts/install-deps.sh [--bench] [--fuzz]
set -euo pipefail

pkgs=(cmake qtbase5-dev libboost-dev libboost-filesystem-dev libboost-system-dev
      libboost-locale-dev zlib1g-dev libpolyclipping-dev libgtest-dev libgmock-dev
      libbenchmark-dev ninja-build ccache pkg-config clang libclang-rt-14-dev gzip tar
      libarchive-tools libomp-dev locales-all libeigen3-dev python3-scipy libgdal-dev gdal-bin
      libgeos-dev libdeflate-dev) # libgeos-dev: the polygon tests' referee
for arg in "$@"; do
  case "$arg" in
    --bench) pkgs+=(libssl-dev libpugixml-dev libexpat1-dev libopencv-dev libgeos-dev) ;;
    --fuzz) pkgs+=(clang libclang-rt-14-dev) ;;
    *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps.sh: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
