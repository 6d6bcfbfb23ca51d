#!/usr/bin/env bash
# Developer check: loads the Linux plug-in into Ardour 7 with no sound card and no
# GUI, and proves it plays. It indexes the plug-in with Ardour's VST scanner, builds
# a throw-away session (Dummy backend) with one MIDI track holding Tavrinel and a
# small Lua note log after it, rolls the transport at 120 bpm, reports the notes
# that came out, then saves, reloads and rolls the session again, and at last
# reloads it with only the plug-in's state chunk to restore its parameters.
#
#   scripts/ardour-check.sh [PLUGIN.so] [SECONDS]
#
# Defaults: build/Tavrinel.so and 4 seconds per roll. Everything Ardour writes
# (cache, configuration, session) goes to a temporary folder that is removed at the
# end; set KEEP=1 to keep it. Needs the Debian package "ardour" (ardour7-lua).
# Exit status: 0 when notes came out and the reload kept the state, 1 otherwise,
# 2 when Ardour or the plug-in is missing.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
plugin=${1:-$root/build/Tavrinel.so}
seconds=${2:-4}
scanner=/usr/lib/ardour7/ardour-vst-scanner

if ! command -v ardour7-lua >/dev/null || [ ! -x "$scanner" ]; then
    echo "ardour-check: Ardour 7 is not installed (ardour7-lua, $scanner)" >&2
    exit 2
fi
if [ ! -f "$plugin" ]; then
    echo "ardour-check: no plug-in at $plugin (build it first)" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrinel-ardour.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then
    echo "ardour-check: keeping $work"
else
    trap 'rm -rf "$work"' EXIT
fi

# A scratch home: Ardour keeps its plug-in cache, scan log and configuration there.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export LXVST_PATH=$work/vst
unset VST_PATH
mkdir -p "$LXVST_PATH" "$XDG_CONFIG_HOME/ardour7/scripts"
cp "$here/ardour-note-counter.lua" "$XDG_CONFIG_HOME/ardour7/scripts/"

# Ardour trusts a cached entry only when the plug-in file is strictly older than the
# cache file (whole seconds), so a copy made in the same second as the scan would be
# ignored. Back-date the copy.
cp "$plugin" "$LXVST_PATH/Tavrinel.so"
touch -d '-1 minute' "$LXVST_PATH/Tavrinel.so"

LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner" -f "$LXVST_PATH/Tavrinel.so" >"$work/scan.log" 2>&1 || true
info=$(cat "$XDG_CACHE_HOME"/ardour7/vst/*.v2i 2>/dev/null | grep -o '<VST2Info [^>]*>' || true)
if [ -z "$info" ]; then
    echo "ardour-check: FAIL the scanner did not index the plug-in:" >&2
    cat "$work/scan.log" >&2
    exit 1
fi
echo "ardour-check: plug-in found: $(sed -E 's/^<VST2Info //; s/ *\/?>$//' <<<"$info")"

run_session() {
    rm -rf "$work/session"
    TAVRINEL_CHECK_DIR=$work/session TAVRINEL_CHECK_SECONDS=$seconds \
        timeout $((60 + 4 * seconds)) ardour7-lua "$here/ardour-check.lua" >"$work/ardour.log" 2>&1
}
set +e
run_session
rc=$?
# Now and then ardour7-lua aborts while it adds the track ("Port already exists"),
# before our plug-in is even loaded. That is Ardour's, not ours: try once more.
if [ $rc -ne 0 ] && ! grep -q '^check: instantiated' "$work/ardour.log"; then
    echo "ardour-check: ardour7-lua failed (status $rc) before loading the plug-in, trying again:"
    grep -v '^check: ' "$work/ardour.log" | tail -n 5 | sed 's/^/    /'
    run_session
    rc=$?
fi
set -e
sed -n 's/^check: /ardour-check: /p' "$work/ardour.log"
if [ $rc -ne 0 ] || ! grep -q '^check: VERDICT ok$' "$work/ardour.log"; then
    [ $rc -ne 0 ] && echo "ardour-check: ardour7-lua exited with status $rc"
    echo "ardour-check: Ardour's own output:"
    grep -v '^check: ' "$work/ardour.log" | tail -n 20
    exit 1
fi
