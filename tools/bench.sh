#!/usr/bin/env bash
# Builds Tarrow and runs one benchmark (or all) under Wine in a throwaway prefix:
# tools/bench.sh [store|package|cli|frame|scale|all]
# scale: TARROW_SCALE_ROUNDS rounds (default 3) over TARROW_SCALE_SIZES (default "1000 10000 100000").
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

BENCHES=(store package cli frame scale)
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
if { [[ " ${selected[*]} " == *" frame "* ]] || [[ " ${selected[*]} " == *" scale "* ]]; } && [ -z "${DISPLAY:-}" ]; then
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

# Each step at n against the same step at n / 10, in plug-ins of 5 and in one plug-in (tools/bench/scale_bench.cpp):
# one process per size and shape, the sizes and shapes interleaved within each round; then 2,000 x 5 against
# 1 x 10,000 for the package read alone and for tarrow-cli dump (process start to exit).
bench_scale() {
    local dir="$BUILD/bench-scale" rounds="${TARROW_SCALE_ROUNDS:-3}" sizes="${TARROW_SCALE_SIZES:-1000 10000 100000}"
    rm -rf "$dir"
    mkdir -p "$dir"
    local winDir n shape round
    winDir="$(winepath -w "$dir" 2>/dev/null)"
    local status=0
    for n in $sizes 10000; do
        for shape in many one; do
            [ -f "$dir/scale-$shape-$n.kvpreset" ] || wine "$BUILD/scale_bench.exe" make "$winDir" "$n" "$shape" || status=1
        done
    done
    for round in $(seq 1 "$rounds"); do
        wine "$BUILD/scale_bench.exe" startup "$winDir" 0 many >>"$dir/steps.txt" || status=1
        for n in $sizes; do
            for shape in many one; do
                wine "$BUILD/scale_bench.exe" run "$winDir" "$n" "$shape" >>"$dir/steps.txt" || status=1
            done
        done
    done
    cp "$dir/steps.txt" "$BUILD/scale-steps.txt" # kept for a second look: tools/bench/scale_table.py reads it
    python3 "$TARROW_ROOT/tools/bench/scale_table.py" "$dir/steps.txt" || status=1
    wine "$BUILD/scale_bench.exe" plugins "$winDir" || status=1
    # tarrow-cli dump, process start to exit, rounds of both files interleaved.
    local manyTimes=() oneTimes=() start
    for round in 1 2 3 4 5 6 7 8; do
        for shape in many one; do
            start=$(date +%s%N)
            wine "$BUILD/tarrow-cli.exe" dump "$winDir\\scale-$shape-10000.kvpreset" >/dev/null || status=1
            if [ "$shape" = many ]; then manyTimes+=($(( ($(date +%s%N) - start) / 1000000 )));
            else oneTimes+=($(( ($(date +%s%N) - start) / 1000000 ))); fi
        done
    done
    python3 - "${manyTimes[*]:1}" "${oneTimes[*]:1}" <<'PY'
import sys, statistics
many = [int(x) for x in sys.argv[1].split()]
one = [int(x) for x in sys.argv[2].split()]
print("tarrow-cli dump, 2,000 x 5: %d ms   1 x 10,000: %d ms   ratio %.2f (target <= 1.3; best rounds %.2f; medians of %d)"
      % (statistics.median(many), statistics.median(one), statistics.median(many) / statistics.median(one),
         min(many) / min(one), len(many)))
PY
    rm -rf "$dir"
    return $status
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
        scale) bench_scale || status=1 ;;
    esac
    machine_load "after the $bench benchmark"
done
exit $status
