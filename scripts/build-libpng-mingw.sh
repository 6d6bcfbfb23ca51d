#!/usr/bin/env bash
# Builds a static libpng for the Windows cross-build from Debian's own source
# package, with the static mingw zlib, into PREFIX (default build-deps/mingw).
# apt's system configuration is left untouched: the deb-src lists are private.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
PREFIX="${1:-$ROOT/build-deps/mingw}"
if [ -f "$PREFIX/lib/libpng16.a" ] && [ -f "$PREFIX/include/png.h" ]; then
  echo "libpng (mingw): already in $PREFIX"
  exit 0
fi

WORK="$ROOT/build-deps/libpng-src"
rm -rf "$WORK"
mkdir -p "$WORK/sources" "$WORK/lists/partial"

# deb-src entries mirroring the machine's own deb entries.
src_list="$WORK/sources/src.sources"
: > "$src_list"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk 'BEGIN{RS=""; ORS="\n\n"} /Types:[ \t]*deb/ && /debian/ {gsub(/Types:[ \t]*deb[^\n]*/, "Types: deb-src"); print}' "$f" >> "$src_list"
done
if [ -f /etc/apt/sources.list ]; then
  grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$WORK/sources/src.list" || true
fi

APT_OPTS=(-o "Dir::Etc::sourcelist=/dev/null" -o "Dir::Etc::sourceparts=$WORK/sources"
          -o "Dir::State::lists=$WORK/lists" -o "Debug::NoLocking=1")
apt-get "${APT_OPTS[@]}" update -q >/dev/null
(cd "$WORK" && apt-get "${APT_OPTS[@]}" source -q --download-only libpng1.6/bookworm >/dev/null)
(cd "$WORK" && dpkg-source -x --no-check ./*.dsc src >/dev/null)

cmake -S "$WORK/src" -B "$WORK/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF \
  -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
  -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include >/dev/null
cmake --build "$WORK/build" >/dev/null
cmake --install "$WORK/build" >/dev/null
echo "libpng (mingw): installed in $PREFIX"
