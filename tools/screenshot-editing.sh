#!/usr/bin/env bash
# Rebuilds docs/overwrite-question.png and docs/multi-row-drag.png: the end-to-end run of tests/e2e/real_input.py
# under Xvfb and Wine takes them while it drives the program with real input.
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
OUT="${1:-$TARROW_ROOT/docs}"
command -v import >/dev/null || { echo "ImageMagick's import is needed" >&2; exit 1; }
tarrow_install_missing || exit 1
tarrow_build "$BUILD" >/dev/null || exit 1

tarrow_wine_env
export WINEPREFIX="$BUILD/wineprefix"
TARROW_XVFB_PID=""
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$TARROW_XVFB_PID" ] && kill "$TARROW_XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
tarrow_wine_prefix
# The caption buttons are drawn with Wine's Marlett font, which a fresh prefix does not always find.
FONTS="$WINEPREFIX/drive_c/windows/Fonts"
[ -f "$FONTS/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$FONTS/" 2>/dev/null || true
tarrow_start_xvfb || exit 1
tarrow_mark_throwaway_store || exit 1
python3 "$TARROW_ROOT/tests/e2e/real_input.py" --build "$BUILD" --helper "$BUILD/tests/e2e_helper.exe" \
    --program "$BUILD/tarrow.exe" --cli "$BUILD/tarrow-cli.exe" --screenshots "$OUT"
