#!/usr/bin/env bash
# Builds, registers the standard message provider, starts the bundled log-service
# stand-in (logpeer.exe, demo mode) in the background and runs the console
# monitor "quelcon /d" against it: live event lines and hex dumps within seconds.
# Stop it with Ctrl-C: the monitor ends as on ESC, then the stand-in is stopped.
# Arguments go to quelcon (e.g. COM2 to watch one device).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"
# The prefix is made (on first use) with a display, as the tests have it.
"$root/scripts/with-ia32.sh" xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-session.sh" "$build" \
  bash -c 'cd "$1/bin" && wine regsvr32 /s quelstd.dll' register "$build"
# The demo itself needs no display (quelcon opens no window): a display server
# started from here would be stopped by the terminal's Ctrl-C along with it.
exec "$root/scripts/with-ia32.sh" env -u DISPLAY "$root/scripts/wine-session.sh" "$build" \
  bash -c '
    cd "$1/bin"; shift
    # In a session of its own, out of the Ctrl-C: the monitor must close its
    # connection before the stand-in goes, or it reports the connection lost.
    setsid wine logpeer.exe --no-tcp >../logpeer.log 2>&1 </dev/null &
    peer=$!
    stop() {  # asks the stand-in to end and gives it two seconds to do so
      kill -INT "$peer" 2>/dev/null || return 0
      for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$peer" 2>/dev/null || return 0; sleep 0.2; done
    }
    trap stop EXIT
    trap : INT  # Ctrl-C is the monitor'"'"'s to handle; this shell waits for it to end
    wine quelcon.exe /d "$@"' run "$build" "$@"
