#!/usr/bin/env bash
# Builds and runs the console monitor's benchmark: records per second and MB/s
# through the whole road next to a plain pipe reader, and the live-block count
# under a slow consumer. An optional argument scales the record counts (1.0).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-session.sh" "$build" \
  bash -c 'cd "$1/bin" && wine regsvr32 /s quelstd.dll && wine quelcon_bench.exe "${@:2}"' bench "$build" "$@"
