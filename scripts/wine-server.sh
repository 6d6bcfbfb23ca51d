#!/usr/bin/env bash
# Starts or stops the persistent wineserver the Windows test run shares.
# WINEPREFIX must point at a throw-away prefix.
set -u
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=-all
case "${1:-}" in
  start)
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wineserver64 -p >/dev/null 2>&1 </dev/null
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null
    # Wine does not find Debian's own fonts by itself.
    if [ -d /usr/share/wine/fonts ]; then
      mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
      ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    exit 0
    ;;
  stop)
    /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 </dev/null || true
    exit 0
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
