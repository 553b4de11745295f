#!/usr/bin/env bash
# Rewrites include/KrStd.h so that it includes every public header (run after adding one).
set -euo pipefail
cd "$(dirname "$0")/../include"
{
  echo '// KrStd: the umbrella header, including every public header of the library.'
  echo '#pragma once'
  echo
  find . -name '*.h' ! -name KrStd.h | sed 's|^\./||' | LC_ALL=C sort | sed 's|.*|#include "&"|'
} > KrStd.h
