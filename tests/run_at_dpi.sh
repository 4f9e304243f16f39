#!/usr/bin/env bash
# Runs a test executable at another display scale: in a throwaway Wine prefix of its own, beside the tests' one,
# whose LogPixels is the given DPI, on a virtual display large enough for the default window at that scale. The
# tests' own prefix is never changed, so no other test runs at that scale.
#   tests/run_at_dpi.sh DPI EXE [test options...]        (from test.sh, which sets WINEPREFIX)
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"
[ $# -ge 2 ] || { echo "usage: $0 DPI EXE [test options...]" >&2; exit 2; }
dpi="$1"
exe="$2"
shift 2
: "${WINEPREFIX:?run it through test.sh, which makes the prefix of the tests}"

tarrow_wine_env
export WINEPREFIX="$WINEPREFIX-dpi$dpi"
tarrow_cleanup_on_exit
tarrow_wine_prefix
tarrow_start_xvfb 2560x1600 || exit 1
tarrow_mark_throwaway_store || exit 1
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null || exit 1
TARROW_TEST_DPI="$dpi" wine "$exe" "$@"
