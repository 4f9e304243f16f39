#!/usr/bin/env bash
# Builds a release of Tarrow into dist/: Tarrow-<version>-x64.msi (the per-user installer),
# Tarrow-<version>-x64.zip (the same files, portable) and SHA256SUMS. The version is the one in CMakeLists.txt.
set -euo pipefail
TARROW_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$TARROW_ROOT/tools/common.sh"

tarrow_install_missing
# A build folder of its own, so that a release never picks up a developer build's options or leftovers.
BUILD="${TARROW_RELEASE_BUILD_DIR:-$TARROW_ROOT/build-release}"
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$TARROW_ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$TARROW_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$BUILD" --target tarrow tarrow-cli -j"$(nproc)"
python3 "$TARROW_ROOT/tools/release/make_dist.py" "$BUILD" "$TARROW_ROOT/dist"
