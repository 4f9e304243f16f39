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
tarrow_cleanup_on_exit
tarrow_wine_prefix
tarrow_marlett_font
tarrow_start_xvfb || exit 1
tarrow_mark_throwaway_store || exit 1
python3 "$TARROW_ROOT/tests/e2e/real_input.py" --build "$BUILD" --helper "$BUILD/tests/e2e_helper.exe" \
    --program "$BUILD/tarrow.exe" --cli "$BUILD/tarrow-cli.exe" --screenshots "$OUT"
