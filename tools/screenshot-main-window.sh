#!/usr/bin/env bash
# Rebuilds docs/main-window.png and docs/main-window-200.png: the demo (as ./run.sh --demo starts it) after start-up
# at 100 % and at 200 % display scale, with a plug-in selected on each side by real keystrokes, under Xvfb and Wine,
# cropped to the frame window.       tools/screenshot-main-window.sh [OUTPUT_FOLDER]      (default: docs/)
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
OUT="${1:-$TARROW_ROOT/docs}"
for tool in import xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (ImageMagick, xdotool)" >&2; exit 1; }
done
tarrow_install_missing || exit 1
tarrow_build "$BUILD" >/dev/null || exit 1

tarrow_wine_env
export WINEPREFIX="$BUILD/demoprefix"
# The demo prefix's display scale: Wine reads it when its session starts. It is put back to 100 % at the end.
set_scale() {
    wineserver -k >/dev/null 2>&1
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 </dev/null
}
TARROW_XVFB_PID=""
trap 'set_scale 96; wineserver -k >/dev/null 2>&1; [ -n "$TARROW_XVFB_PID" ] && kill "$TARROW_XVFB_PID" 2>/dev/null' EXIT
tarrow_wine_prefix
tarrow_marlett_font
tarrow_start_xvfb 2560x1600 || exit 1

demo_package='C:\users\Public\Documents\Tarrow Demo\Demo.kvpreset'
wine "$BUILD/make_demo.exe" "$demo_package" >/dev/null || exit 1

# shoot DPI FILE: the demo window at 820 x 600 pixels at 96 DPI, as large to the eye at DPI.
shoot() {
    local dpi="$1" file="$2" window=""
    set_scale "$dpi" || return 1
    wine "$BUILD/tarrow.exe" "$demo_package" >/dev/null 2>&1 &
    for _ in $(seq 1 300); do
        window="$(xdotool search --name '^Varden Tarrow 2.0 - Demo.kvpreset$' 2>/dev/null | head -1)"
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "The frame window did not appear" >&2; return 1; }
    xdotool windowmove "$window" 0 0 windowsize "$window" $((820 * dpi / 96)) $((600 * dpi / 96)) \
        windowfocus --sync "$window"
    sleep 1
    keys() { xdotool key --delay 150 "$@"; sleep 0.5; }
    # The package tree has the focus with its root selected: open the root and "FX Plug-Ins", take the first
    # plug-in, and move to its list; then the same on the system side (whose first node is "FX Chains").
    keys Right Down Down Right Down
    keys ctrl+Tab
    keys ctrl+Tab Down Right Down Down
    keys ctrl+Tab
    sleep 1
    local X Y W H
    read -r X Y W H < <(xdotool getwindowgeometry --shell "$window" |
        awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
    mkdir -p "$(dirname "$file")"
    import -window root -crop "${W}x${H}+${X}+${Y}" +repage "$file" || return 1
    echo "Wrote $file (${W}x${H})"
}

shoot 96 "$OUT/main-window.png" || exit 1
shoot 192 "$OUT/main-window-200.png" || exit 1
