#!/usr/bin/env bash
# The main job: builds the plug-in and the render tool, then plays the default
# pattern for 8 bars at 120 bpm through the plug-in's VST 2.4 interface and writes
# the notes to out/default.mid (and a readable list to out/default.txt).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target Tavrinel tavrinel_render
mkdir -p out
./build/tavrinel_render --tempo 120 --bars 8 --out out/default.mid --events out/default.txt
