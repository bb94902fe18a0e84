#!/usr/bin/env bash
# Builds everything into build/ (or $QUEL_BUILD_DIR), then runs a shell command
# in the build's bin/ inside one Xvfb display and Wine session: what the tests
# and the benchmarks share.
#   build-and-run.sh 'COMMAND' [ARGUMENTS...]   (COMMAND has them as "$@")
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"
command="$1"
shift

"$root/scripts/build.sh"
# The tests and benchmarks change settings, registrations and Run values as they
# go: they run in a prefix of their own, never in the one people try the
# programs in (build/wineprefix).
export QUEL_WINEPREFIX="$(cd "$build" && pwd)/test-wineprefix"
exec "$root/scripts/with-ia32.sh" xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-session.sh" "$build" \
  bash -c "cd \"\$1/bin\" || exit; shift; $command" session "$build" "$@"
