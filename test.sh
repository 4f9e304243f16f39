#!/usr/bin/env bash
# Builds Tarrow and runs every test under Xvfb and Wine, in a throwaway prefix inside build/.
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$TARROW_ROOT/tools/common.sh"

tarrow_install_missing || exit 1
BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
tarrow_build "$BUILD" || exit 1

tarrow_wine_env
export WINEPREFIX="$BUILD/wineprefix"
tarrow_cleanup_on_exit
tarrow_wine_prefix
tarrow_start_xvfb || exit 1
wineserver -p >/dev/null 2>&1
# Start Wine's background services now, detached from ctest's output pipes: a service that inherits them
# keeps ctest waiting for the end of the output after every test has finished. The same call marks this prefix's
# store as a throwaway one; test executables refuse to run in a store without the mark.
tarrow_mark_throwaway_store || exit 1

ctest --test-dir "$BUILD" --output-on-failure "$@"
