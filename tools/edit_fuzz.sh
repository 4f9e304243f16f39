#!/usr/bin/env bash
# Builds Tarrow and runs the editing fuzzer under Wine in a throwaway prefix of its own: tools/edit_fuzz.sh [STEPS] [SEED]
# STEPS random editing steps (default 100000) made deterministically from SEED (default 1); the same pair gives the
# same run. On a divergence it prints the episode's steps and the command that replays that episode alone
# (run it with: tools/edit_fuzz.sh STEPS SEED EPISODE).
set -uo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$TARROW_ROOT/tools/common.sh"

steps="${1:-100000}"
seed="${2:-1}"
episode="${3:-}"
if ! [[ "$steps" =~ ^[0-9]+$ && "$seed" =~ ^[0-9]+$ && "$episode" =~ ^[0-9]*$ ]]; then
    echo "usage: tools/edit_fuzz.sh [STEPS] [SEED] [EPISODE]" >&2
    exit 2
fi

tarrow_install_missing || exit 1
BUILD="${TARROW_BUILD_DIR:-$TARROW_ROOT/build}"
tarrow_build "$BUILD" || exit 1
tarrow_wine_env
export WINEPREFIX="$BUILD/editfuzzprefix"
trap 'wineserver -k >/dev/null 2>&1' EXIT
tarrow_wine_prefix
# The fuzzer rewrites the whole store; it runs only in a prefix marked as this project's throwaway one.
tarrow_mark_throwaway_store || exit 1

echo "machine load before: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) cores"
wine "$BUILD/edit_fuzz.exe" "$steps" "$seed" $episode
status=$?
echo "machine load after: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) cores"
exit $status
