#!/usr/bin/env bash
# Sets up, configures and builds everything into build/ (or $QUEL_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

"$root/scripts/setup.sh"
# Configure every time: the tree adds its parts by which folders exist. The
# build type is named so that a tree configured before keeps no other one.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw32-toolchain.cmake" \
      -DCMAKE_BUILD_TYPE=Checked >/dev/null
cmake --build "$build" -j"$(nproc)"
