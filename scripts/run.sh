#!/usr/bin/env bash
# The main job: builds and runs the demo.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target tavrinel_demo
./build/tavrinel_demo
