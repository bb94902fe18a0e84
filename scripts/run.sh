#!/usr/bin/env bash
# Sets up, builds, registers the standard message provider and prints its
# texts for a few sample records, inside one Wine session.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-session.sh" "$build" \
  bash -c 'cd "$1/bin" && wine regsvr32 /s quelstd.dll && wine quelstd_demo.exe' run "$build"
