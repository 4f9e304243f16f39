#!/usr/bin/env bash
# Runs one benchmark under Wine: tools/bench.sh package
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

usage() { echo "usage: tools/bench.sh package" >&2; exit 1; }
[ $# -ge 1 ] || usage

BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
tarrow_build "$BUILD" || exit 1
tarrow_wine_env
export WINEPREFIX="$BUILD/wineprefix"
trap 'wineserver -k >/dev/null 2>&1' EXIT
tarrow_wine_prefix

bench_package() {
    local dir="$BUILD/bench-package"
    mkdir -p "$dir"
    local winDir
    winDir="$(winepath -w "$dir" 2>/dev/null)"
    wine "$BUILD/tests/bench/package_bench.exe" write "$winDir" || return 1
    wine "$BUILD/tests/bench/package_bench.exe" read "$winDir" || return 1
    rm -rf "$dir"
}

case "$1" in
    package) bench_package ;;
    *) usage ;;
esac
