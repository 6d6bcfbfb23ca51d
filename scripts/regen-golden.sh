#!/usr/bin/env bash
# Writes the golden songs anew from this build: the songs it makes (default state,
# dense states, copies of the factory presets) and the events of every song in
# tests/golden. Only for a change meant to alter what songs play: commit the
# result with that change. BUILD names the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build}"
[ -f "$BUILD/CMakeCache.txt" ] || cmake -S . -B "$BUILD" -G Ninja -DTAV_WERROR=ON >/dev/null
cmake --build "$BUILD" -j "${JOBS:-2}" --target test_golden
TAV_GOLDEN_UPDATE=1 "$BUILD/test_golden"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git status --short -- tests/golden
fi
