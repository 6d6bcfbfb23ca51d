#!/usr/bin/env bash
# Developer check: loads the Linux plug-ins into Ardour 7 with no sound card and no
# GUI, and proves they play. For the VST 2.4 library it indexes the plug-in with
# Ardour's VST scanner; the LV2 bundle is found through LV2_PATH. For each it builds
# a throw-away session (Dummy backend) with one MIDI track holding Tavrinel and a
# small Lua note log after it, rolls the transport at 120 bpm, reports the notes
# that came out, then saves, reloads and rolls the session again, and at last
# reloads it with only the plug-in's state chunk to restore its parameters. The LV2
# run then puts a factory preset's state in place of the saved one and checks that
# the reloaded session plays the preset's notes (as tavrinel_render --lv2 renders them).
#
#   scripts/ardour-check.sh [PLUGIN.so | BUNDLE.lv2] [SECONDS]
#   scripts/ardour-check.sh --vst [PLUGIN.so] [SECONDS]
#   scripts/ardour-check.sh --lv2 [BUNDLE.lv2] [SECONDS]
#
# Without a format or a path both formats are checked in turn: build/Tavrinel.so and
# build/Tavrinel.lv2; 4 seconds per roll. Everything Ardour writes (cache,
# configuration, session) goes to a temporary folder that is removed at the end;
# set KEEP=1 to keep it. Needs the Debian package "ardour" (ardour7-lua).
# Exit status: 0 when notes came out and the reload kept the state, 1 otherwise,
# 2 when Ardour or the plug-in is missing.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
formats=(vst lv2)
path=
case "${1:-}" in
    --vst) formats=(vst); shift; path=${1:-}; [ $# -gt 0 ] && shift ;;
    --lv2) formats=(lv2); shift; path=${1:-}; [ $# -gt 0 ] && shift ;;
    *.lv2|*.lv2/) formats=(lv2); path=$1; shift ;;
    "") ;;
    *) if [ -d "$1" ]; then formats=(lv2); else formats=(vst); fi; path=$1; shift ;;
esac
seconds=${1:-4}
scanner=/usr/lib/ardour7/ardour-vst-scanner

if ! command -v ardour7-lua >/dev/null || [ ! -x "$scanner" ]; then
    echo "ardour-check: Ardour 7 is not installed (ardour7-lua, $scanner)" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrinel-ardour.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then
    echo "ardour-check: keeping $work"
else
    trap 'rm -rf "$work"' EXIT
fi

# One format in a scratch home: Ardour keeps its plug-in cache, scan log and
# configuration there. Prints the report; returns 0, 1 or 2 as the whole script does.
check() {
    local format=$1 plugin=$2 base=$work/$1
    export HOME=$base/home
    export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
    export LXVST_PATH=$base/vst LV2_PATH=$base/lv2
    unset VST_PATH
    mkdir -p "$LXVST_PATH" "$LV2_PATH" "$XDG_CONFIG_HOME/ardour7/scripts"
    cp "$here/ardour-note-counter.lua" "$XDG_CONFIG_HOME/ardour7/scripts/"
    local state_b64= state_keys=
    if [ "$format" = vst ]; then
        if [ ! -f "$plugin" ]; then
            echo "ardour-check: no plug-in at $plugin (build it first)" >&2
            return 2
        fi
        # Ardour trusts a cached entry only when the plug-in file is strictly older than the
        # cache file (whole seconds), so a copy made in the same second as the scan would be
        # ignored. Back-date the copy.
        cp "$plugin" "$LXVST_PATH/Tavrinel.so"
        touch -d '-1 minute' "$LXVST_PATH/Tavrinel.so"

        LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner" -f "$LXVST_PATH/Tavrinel.so" >"$base/scan.log" 2>&1 || true
        local info
        info=$(cat "$XDG_CACHE_HOME"/ardour7/vst/*.v2i 2>/dev/null | grep -o '<VST2Info [^>]*>' || true)
        if [ -z "$info" ]; then
            echo "ardour-check: FAIL the scanner did not index the plug-in:" >&2
            cat "$base/scan.log" >&2
            return 1
        fi
        echo "ardour-check: plug-in found: $(sed -E 's/^<VST2Info //; s/ *\/?>$//' <<<"$info")"
    else
        plugin=${plugin%/}
        if [ ! -f "$plugin/manifest.ttl" ] || [ ! -f "$plugin/Tavrinel.so" ]; then
            echo "ardour-check: no LV2 bundle at $plugin (build it first)" >&2
            return 2
        fi
        cp -r "$plugin" "$LV2_PATH/Tavrinel.lv2"
        local listed
        listed=$(lv2ls 2>/dev/null | grep -x 'urn:quellbrook:tavrinel' || true)
        echo "ardour-check: LV2 bundle on LV2_PATH${listed:+, lv2ls lists $listed}"
        # A preset's state and the first keys it plays, for the last reload.
        local bin render preset=$root/resources/presets/Basics/Major\ Walk.preset
        bin=$(dirname "$plugin")
        render=$bin/tavrinel_render
        if [ -x "$render" ] && [ -x "$bin/tavrinel_preset2state" ] && [ -f "$preset" ]; then
            "$bin/tavrinel_preset2state" "$preset" "$base/preset.state" >/dev/null
            state_b64=$(base64 -w0 "$base/preset.state")
            state_keys=$("$render" --lv2 "$plugin" --rate 48000 --bars 2 --preset "$preset" --events - --quiet |
                awk '/note-on/ { for (i = 1; i < NF; i++) if ($i == "key") { printf "%s ", $(i + 1); break } }' |
                cut -d' ' -f1-8)
        else
            echo "ardour-check: no tavrinel_render/tavrinel_preset2state beside the bundle: no preset state check"
        fi
    fi

    run_session() {
        rm -rf "$base/session"
        TAVRINEL_CHECK_DIR=$base/session TAVRINEL_CHECK_SECONDS=$seconds TAVRINEL_CHECK_FORMAT=$format \
            TAVRINEL_CHECK_STATE_B64=$state_b64 TAVRINEL_CHECK_STATE_KEYS=$state_keys \
            timeout $((90 + 6 * seconds)) ardour7-lua "$here/ardour-check.lua" >"$base/ardour.log" 2>&1
    }
    local rc
    set +e
    run_session
    rc=$?
    # Now and then ardour7-lua aborts while it adds the track ("Port already exists"),
    # before our plug-in is even loaded. That is Ardour's, not ours: try once more.
    if [ $rc -ne 0 ] && ! grep -q '^check: instantiated' "$base/ardour.log"; then
        echo "ardour-check: ardour7-lua failed (status $rc) before loading the plug-in, trying again:"
        grep -v '^check: ' "$base/ardour.log" | tail -n 5 | sed 's/^/    /'
        run_session
        rc=$?
    fi
    set -e
    sed -n 's/^check: /ardour-check: /p' "$base/ardour.log"
    if [ $rc -ne 0 ] || ! grep -q '^check: VERDICT ok$' "$base/ardour.log"; then
        [ $rc -ne 0 ] && echo "ardour-check: ardour7-lua exited with status $rc"
        echo "ardour-check: Ardour's own output:"
        grep -v '^check: ' "$base/ardour.log" | tail -n 20
        return 1
    fi
    return 0
}

status=0
for format in "${formats[@]}"; do
    if [ "$format" = vst ]; then plugin=${path:-$root/build/Tavrinel.so}; else plugin=${path:-$root/build/Tavrinel.lv2}; fi
    [ ${#formats[@]} -gt 1 ] && echo "ardour-check: ---- $format: $plugin"
    set +e
    check "$format" "$plugin"
    rc=$?
    set -e
    [ $rc -gt $status ] && status=$rc
done
exit $status
