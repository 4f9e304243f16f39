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
tarrow_cleanup_on_exit
# The frame bench shows real windows. Wine's session takes its display from the first process of the prefix, so a
# virtual display (when none is set) must be up before anything runs under Wine.
if [[ " ${selected[*]} " == *" frame "* ]] && [ -z "${DISPLAY:-}" ]; then
    tarrow_start_xvfb || exit 1
fi
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

bench_frame() {
    wine "$BUILD/frame_bench.exe"
}

# The machine may be shared: say how busy it was, as the figures depend on it.
machine_load() { echo "machine load $1: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) cores"; }

status=0
for bench in "${selected[@]}"; do
    machine_load "before the $bench benchmark"
    case "$bench" in
        store) wine "$BUILD/store_bench.exe" || status=1 ;;
        package) bench_package || status=1 ;;
        cli) bench_cli || status=1 ;;
        frame) bench_frame || status=1 ;;
    esac
    machine_load "after the $bench benchmark"
done
exit $status
