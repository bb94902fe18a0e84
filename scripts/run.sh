#!/usr/bin/env bash
# Builds, registers the standard message provider, starts the bundled log-service
# stand-in (logpeer.exe, demo mode) in the background and runs the console
# monitor "quelcon /d" against it, in one Wine session: live event lines and hex
# dumps within seconds. Stop it with Ctrl-C. Arguments go to quelcon (e.g. COM2
# to watch one device).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-session.sh" "$build" \
  bash -c '
    cd "$1/bin"; shift
    wine regsvr32 /s quelstd.dll
    wine logpeer.exe --no-tcp >../logpeer.log 2>&1 &
    peer=$!
    stop() { kill "$peer" 2>/dev/null || true; wineserver -k 2>/dev/null || true; }
    trap stop EXIT
    trap "exit 130" INT TERM
    wine quelcon.exe /d "$@"' run "$build" "$@"
