#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine inside one Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-session.sh" "$build" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
