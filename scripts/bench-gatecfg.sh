#!/usr/bin/env bash
# Builds and runs gatecfg's keep-alive benchmark: the round trip of the fake
# controller's keep-alives through the tool's form at 5, 50 and 200 a second.
# An optional argument sets the seconds per rate (5).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-session.sh" "$build" \
  bash -c 'cd "$1/bin" && wine gatecfg_bench.exe "${@:2}"' bench "$build" "$@"
