#!/usr/bin/env bash
# The main job: builds the plug-in and the render tool, then plays the default
# pattern for 8 bars at 120 bpm through the plug-in's VST 2.4 interface and writes
# the notes to out/default.mid (and a readable list to out/default.txt). Where the
# LV2 plug-in is built (Linux with lv2-dev and lilv), it renders the same through
# the LV2 interface to out/default-lv2.mid and checks the two files are identical.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target Tavrinel tavrinel_render
mkdir -p out
./build/tavrinel_render --tempo 120 --bars 8 --out out/default.mid --events out/default.txt
if grep -q '^TAV_LV2_INCLUDE_DIR:PATH=/' build/CMakeCache.txt && grep -q '^pkgcfg_lib_LILV_lilv-0:FILEPATH=/' build/CMakeCache.txt; then
  cmake --build build -j "$(nproc)" --target Tavrinel_lv2
  ./build/tavrinel_render --lv2 build/Tavrinel.lv2 --tempo 120 --bars 8 --quiet --out out/default-lv2.mid
  cmp out/default.mid out/default-lv2.mid
  echo "LV2 render: out/default-lv2.mid, identical to the VST render"
fi
