#!/usr/bin/env bash
# The main job: builds the plug-in and the render tool, then plays the default
# pattern for 8 bars at 120 bpm through the plug-in's VST 2.4 interface and writes
# the notes to out/default.mid (and a readable list to out/default.txt), plays
# them through a General MIDI piano into out/default.wav and draws them as a
# piano roll in out/default.png. Where the LV2 plug-in is built (Linux with
# lv2-dev and lilv), it renders the same through the LV2 interface and checks
# that the MIDI and WAV files are identical. Ends with one line: what was written.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target Tavrinel tavrinel_render
mkdir -p out
render=(./build/tavrinel_render --tempo 120 --bars 8)
"${render[@]}" --out out/default.mid --events out/default.txt --wav out/default.wav --png out/default.png \
  >out/default.log
if grep -q '^TAV_LV2_INCLUDE_DIR:PATH=/' build/CMakeCache.txt && grep -q '^pkgcfg_lib_LILV_lilv-0:FILEPATH=/' build/CMakeCache.txt; then
  cmake --build build -j "$(nproc)" --target Tavrinel_lv2
  "${render[@]}" --lv2 build/Tavrinel.lv2 --quiet --out out/default-lv2.mid --wav out/default-lv2.wav
  cmp out/default.mid out/default-lv2.mid
  cmp out/default.wav out/default-lv2.wav
  echo "LV2 render: out/default-lv2.mid and out/default-lv2.wav, identical to the VST render"
fi
notes=$(sed -n 's/^notes: \([0-9]*\).*/\1/p' out/default.log)
seconds=$(sed -n 's/^rendered .*: \([0-9]*\.[0-9]\)[0-9]* s .*/\1/p' out/default.log)
echo "Default pattern, 8 bars at 120 bpm: ${notes:-0} notes in ${seconds} s -> out/default.mid, out/default.wav, out/default.png"
