#!/usr/bin/env bash
# Builds Tarrow and starts it under Wine: ./run.sh [--demo] [package.kvpreset]
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$TARROW_ROOT/tools/common.sh"

demo=0
if [ "${1:-}" = "--demo" ]; then demo=1; shift; fi

tarrow_install_missing || exit 1
BUILD="$TARROW_ROOT/build"
tarrow_build "$BUILD" || exit 1
tarrow_wine_env

if [ $demo -eq 1 ]; then
    # The demo seeds a store of its own: never the user's prefix, never the tests' one.
    export WINEPREFIX="$BUILD/demoprefix"
else
    export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
fi

TARROW_XVFB_PID=""
if [ -z "${DISPLAY:-}" ]; then
    tarrow_start_xvfb || exit 1
    echo "No display was set: Tarrow runs on a virtual display ($DISPLAY) that nobody can see."
    trap 'kill $TARROW_XVFB_PID 2>/dev/null' EXIT
fi
if [ $demo -eq 0 ]; then
    tarrow_wine_prefix user # the user's own prefix is used as it is
elif [ -n "$TARROW_XVFB_PID" ]; then
    tarrow_wine_prefix virtual
    tarrow_marlett_font
else
    tarrow_wine_prefix desktop # the demo's windows get the window manager's decorations and taskbar entries
    tarrow_marlett_font
fi
if [ $demo -eq 1 ]; then
    demo_package='C:\users\Public\Documents\Tarrow Demo\Demo.kvpreset'
    wine "$BUILD/make_demo.exe" "$demo_package" || exit 1
    echo "The demo uses the Wine prefix $WINEPREFIX; inspect it with: WINEPREFIX=$WINEPREFIX wine build/tarrow-cli.exe store"
    set -- "$demo_package" "$@"
fi
wine "$BUILD/tarrow.exe" "$@"
