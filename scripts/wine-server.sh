#!/usr/bin/env bash
# Starts or stops the persistent wineserver the Windows test run shares.
# WINEPREFIX must point at a throw-away prefix.
set -u
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=-all
# Wine maps non-ASCII file names through the Unix locale; the caller may have none.
export LC_ALL=C.UTF-8
case "${1:-}" in
  start)
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wineserver64 -p >/dev/null 2>&1 </dev/null
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null
    # Windows without a display: the null graphics driver runs window code headless.
    # The desktop process wineboot started keeps the driver it began with: restart
    # the server so the next program starts a headless one.
    if [ -z "${DISPLAY:-}" ]; then
      /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
      /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 </dev/null
      /usr/lib/wine/wineserver64 -w >/dev/null 2>&1 </dev/null
      /usr/lib/wine/wineserver64 -p >/dev/null 2>&1 </dev/null
      # Start the helper processes here, with their output going nowhere: started
      # by a test they would hold CTest's output pipe open.
      /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null
    fi
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
