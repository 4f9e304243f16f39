#!/usr/bin/env bash
# Builds Tarrow and runs one benchmark (or all) under Wine in a throwaway prefix:
# tools/bench.sh [store|package|cli|frame|all]
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

BENCHES=(store package cli frame)
which="${1:-all}"
if [ "$which" = "all" ]; then
    selected=("${BENCHES[@]}")
elif [[ " ${BENCHES[*]} " == *" $which "* ]]; then
    selected=("$which")
else
    echo "usage: tools/bench.sh [all|${BENCHES[*]// /|}]" >&2
    exit 2
fi

tarrow_install_missing || exit 1
BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
tarrow_build "$BUILD" || exit 1
tarrow_wine_env
export WINEPREFIX="$BUILD/benchprefix"
TARROW_XVFB_PID=""
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$TARROW_XVFB_PID" ] && kill "$TARROW_XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
tarrow_wine_prefix

# Write and read run as separate processes, so each peak working set is its own.
bench_package() {
    local dir="$BUILD/bench-package"
    mkdir -p "$dir"
    local winDir
    winDir="$(winepath -w "$dir" 2>/dev/null)"
    wine "$BUILD/package_bench.exe" write "$winDir" && wine "$BUILD/package_bench.exe" read "$winDir"
    local result=$?
    rm -rf "$dir"
    return $result
}

# Import and export of the command-line tool, in process, against plain writes (tools/bench/cli_bench.cpp).
bench_cli() {
    local dir="$BUILD/bench-cli"
    mkdir -p "$dir"
    local winDir
    winDir="$(winepath -w "$dir" 2>/dev/null)"
    wine "$BUILD/cli_bench.exe" "$winDir"
    local result=$?
    rm -rf "$dir"
    return $result
}

# The frame bench shows real windows: on a virtual display of its own when none is set.
bench_frame() {
    if [ -z "${DISPLAY:-}" ] && [ -z "$TARROW_XVFB_PID" ]; then
        tarrow_start_xvfb || return 1
    fi
    wine "$BUILD/frame_bench.exe"
}

status=0
for bench in "${selected[@]}"; do
    case "$bench" in
        store) wine "$BUILD/store_bench.exe" || status=1 ;;
        package) bench_package || status=1 ;;
        cli) bench_cli || status=1 ;;
        frame) bench_frame || status=1 ;;
    esac
done
exit $status
