#!/usr/bin/env bash
# Rebuilds docs/msgbox.png: the library's message dialog (button set 13, details expanded, check box)
# shown under Xvfb and Wine, cropped to the dialog's window.
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
OUT="${1:-$TARROW_ROOT/docs/msgbox.png}"
command -v import >/dev/null || { echo "ImageMagick's import is needed" >&2; exit 1; }
tarrow_install_missing || exit 1
tarrow_build "$BUILD" >/dev/null || exit 1

tarrow_wine_env
export WINEPREFIX="$BUILD/wineprefix"
TARROW_XVFB_PID=""
WORK="$(mktemp -d)"
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$TARROW_XVFB_PID" ] && kill "$TARROW_XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
tarrow_wine_prefix
tarrow_marlett_font
tarrow_start_xvfb || exit 1

wine "$BUILD/msgbox_preview.exe" "$(winepath -w "$WORK/rect")" "$(winepath -w "$WORK/done")" >/dev/null 2>&1 &
TOOL=$!
for _ in $(seq 1 300); do
    [ -s "$WORK/rect" ] && break
    sleep 0.1
done
[ -s "$WORK/rect" ] || { echo "The dialog did not appear" >&2; exit 1; }
read -r X Y W H < "$WORK/rect"
mkdir -p "$(dirname "$OUT")"
import -window root -crop "${W}x${H}+${X}+${Y}" +repage "$OUT" || exit 1
touch "$WORK/done"
wait "$TOOL"
echo "Wrote $OUT (${W}x${H})"
