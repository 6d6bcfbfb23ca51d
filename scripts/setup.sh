#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the Windows cross-build
# need. Idempotent and non-interactive; runs as root or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev fonts-liberation libx11-dev
  # Windows x64 cross-build and its tests under Wine
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine64 wine dpkg-dev xz-utils
  # the editor window tests run on a virtual X display
  xvfb xauth
  # the preset tests build a decimal-comma locale of their own
  locales
  # LV2 build and its checks
  lv2-dev liblilv-dev lilv-utils sordi
  # the render tool's audio: FluidSynth and a small General MIDI SoundFont
  libfluidsynth-dev timgm6mb-soundfont
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
