#!/usr/bin/env bash
# Builds and runs every test: native (warnings are errors), AddressSanitizer +
# UndefinedBehaviorSanitizer, ThreadSanitizer on the concurrency tests, the
# Windows x64 cross-build under Wine, and a short run of each fuzz target. Pass
# one or more of --native --sanitize --tsan --windows --fuzz to run only those
# parts.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
JOBS="${JOBS:-$(nproc)}"
FUZZ_SECONDS="${FUZZ_SECONDS:-20}"
STRESS_SECONDS="${STRESS_SECONDS:-60}"
TSAN_SECONDS="${TSAN_SECONDS:-25}"
LV2_STRESS_SECONDS="${LV2_STRESS_SECONDS:-20}"
xvfb() { if command -v xvfb-run >/dev/null; then xvfb-run -a -s "-screen 0 1024x768x24" "$@"; else "$@"; fi; }

parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(--native --sanitize --tsan --windows --fuzz)
want() { local p; for p in "${parts[@]}"; do [ "$p" = "$1" ] && return 0; done; return 1; }

step() { printf '\n==== %s ====\n' "$*"; }

if want --native; then
  step "native build and tests"
  cmake -S . -B build -G Ninja -DTAV_WERROR=ON >/dev/null
  cmake --build build -j "$JOBS"
  if command -v xvfb-run >/dev/null; then xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir build --output-on-failure -j "$JOBS"; else ctest --test-dir build --output-on-failure -j "$JOBS"; fi
fi

if want --sanitize; then
  step "AddressSanitizer + UndefinedBehaviorSanitizer"
  cmake -S . -B build-asan -G Ninja -DTAV_WERROR=ON -DTAV_SANITIZE=ON -DTAV_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build-asan -j "$JOBS"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS"

  step "stress test under the sanitizers (${STRESS_SECONDS}s)"
  stress=(env TAV_STRESS_SECONDS="$STRESS_SECONDS" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 build-asan/test_stress_x11)
  xvfb "${stress[@]}"
  if [ -x build-asan/test_lv2_stress_x11 ]; then
    step "LV2 stress test under the sanitizers (${LV2_STRESS_SECONDS}s)"
    xvfb env TAV_STRESS_SECONDS="$LV2_STRESS_SECONDS" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 build-asan/test_lv2_stress_x11
  fi
fi

if want --tsan; then
  step "ThreadSanitizer: audio, host and editor threads (${TSAN_SECONDS}s)"
  cmake -S . -B build-tsan -G Ninja -DTAV_WERROR=ON -DTAV_TSAN=ON -DTAV_BENCH=OFF -DTAV_TOOLS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-tsan -j "$JOBS" --target test_concurrency_x11 test_sharedsettings test_presets
  # The LV2 library's entry points on the same three threads, where LV2 is built.
  lv2=""
  if grep -q '^TAV_LV2_INCLUDE_DIR:PATH=/' build-tsan/CMakeCache.txt; then
    cmake --build build-tsan -j "$JOBS" --target test_lv2_stress_x11
    lv2=build-tsan/test_lv2_stress_x11
  fi
  # Any report fails the run; the editor needs an X display.
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" TAV_CONCURRENCY_SECONDS="$TSAN_SECONDS"
  xvfb build-tsan/test_concurrency_x11
  # The preset tree shared by the instances, rescanned while others walk it.
  build-tsan/test_sharedsettings
  xvfb build-tsan/test_presets
  if [ -n "$lv2" ]; then
    step "ThreadSanitizer: the LV2 entry points (${LV2_STRESS_SECONDS}s)"
    xvfb env TAV_STRESS_SECONDS="$LV2_STRESS_SECONDS" "$lv2"
  fi
  unset TSAN_OPTIONS TAV_CONCURRENCY_SECONDS
fi

if want --windows; then
  step "Windows x64 cross-build, tests under Wine"
  scripts/build-libpng-mingw.sh
  # Wine maps non-ASCII file names through the Unix locale: every Wine program
  # of the run gets a UTF-8 one from here, whatever the caller's (a fresh
  # container has none).
  cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DTAV_WERROR=ON -DTAV_BENCH=OFF -DTAV_WINE_FIXTURES=ON \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=env;LC_ALL=C.UTF-8;/usr/lib/wine/wine64" >/dev/null
  cmake --build build-win -j "$JOBS"
  # Only system DLLs may appear in the import lists.
  for f in build-win/*.dll build-win/*.exe; do
    [ -f "$f" ] || continue
    bad=$(x86_64-w64-mingw32-objdump -p "$f" | awk '/DLL Name:/ {print $3}' |
      grep -viE '^(kernel32|user32|gdi32|comdlg32|shell32|wininet|msimg32|comctl32|advapi32|ole32|msvcrt|ws2_32|shlwapi|ntdll)\.dll$' || true)
    if [ -n "$bad" ]; then
      echo "error: $f imports non-system DLLs: $bad" >&2
      exit 1
    fi
  done
  WINEPREFIX="$(mktemp -d /tmp/tavrinel-wine.XXXXXX)"
  export WINEPREFIX WINEDEBUG=-all
  trap 'scripts/wine-server.sh stop; rm -rf "$WINEPREFIX"' EXIT
  # The caller's locale is taken away, so a pass here holds on a machine without one.
  env -u LANG -u LC_ALL -u LC_CTYPE -u LANGUAGE ctest --test-dir build-win --output-on-failure
fi

if want --fuzz; then
  step "fuzz targets (${FUZZ_SECONDS}s each)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAV_FUZZ=ON -DTAV_TESTS=OFF -DTAV_BENCH=OFF \
    -DTAV_TOOLS=OFF -DTAV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build-fuzz -j "$JOBS"
  shopt -s nullglob
  for t in build-fuzz/fuzz_*; do
    [ -x "$t" ] || continue
    name=$(basename "$t")
    corpus="build-fuzz/corpus-$name"
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
    echo "-- $name"
    if ! "$t" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -artifact_prefix="build-fuzz/$name-" "$corpus" "${seeds[@]}" > "build-fuzz/$name.log" 2>&1; then
      tail -n 60 "build-fuzz/$name.log"
      echo "error: $name found a failing input (see build-fuzz/$name.log)" >&2
      exit 1
    fi
    tail -n 1 "build-fuzz/$name.log"
  done
fi

step "all tests passed"
