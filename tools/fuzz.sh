#!/usr/bin/env bash
# Builds Tarrow and runs the package fuzzer under Wine in a throwaway prefix: tools/fuzz.sh [COUNT] [SEED]
# COUNT mutations (default 100000) made deterministically from SEED (default 1); the same pair gives the same run.
# Reproducers of whatever it finds are kept in build/fuzz-findings/; `package_fuzz.exe replay FILE...` checks them.
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

count="${1:-100000}"
seed="${2:-1}"
if ! [[ "$count" =~ ^[0-9]+$ && "$seed" =~ ^[0-9]+$ ]]; then
    echo "usage: tools/fuzz.sh [COUNT] [SEED]" >&2
    exit 2
fi

tarrow_install_missing || exit 1
BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
tarrow_build "$BUILD" || exit 1
tarrow_wine_env
export WINEPREFIX="$BUILD/fuzzprefix"
work=""
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$work" ] && rm -rf "$work"
}
trap cleanup EXIT
tarrow_wine_prefix

# Every mutant is written and read, and every one that reads is saved again: keep them in memory where possible.
work="$(mktemp -d /dev/shm/tarrow-fuzz.XXXXXX 2>/dev/null || mktemp -d "$BUILD/fuzz-work.XXXXXX")"
findings="$BUILD/fuzz-findings"
mkdir -p "$findings"
echo "machine load before: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) cores"
wine "$BUILD/package_fuzz.exe" run "$(winepath -w "$work")" "$(winepath -w "$findings")" "$count" "$seed"
status=$?
echo "machine load after: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) cores"
case $status in
    0) ;;
    1) echo "findings: reproducers in $findings" ;;
    *)
        echo "the fuzzer ended abnormally (exit status $status)"
        if [ -f "$work/mutant.kvpreset" ]; then
            cp "$work/mutant.kvpreset" "$findings/last-input-$seed.kvpreset"
            echo "the mutant being read then: $findings/last-input-$seed.kvpreset"
        fi
        ;;
esac
exit $status
