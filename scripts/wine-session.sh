#!/usr/bin/env bash
# Runs a command inside one Wine session of a build tree: a fresh wineserver,
# the tree's 32-bit prefix (created on first use) and the display that the
# caller provides (xvfb-run). Usage: wine-session.sh BUILD_DIR COMMAND...
# The prefix is BUILD_DIR/wineprefix, or the absolute path in QUEL_WINEPREFIX.
set -euo pipefail
build="$(cd "$1" && pwd)"; shift  # Wine takes only an absolute prefix path
export QUEL_WINEPREFIX="${QUEL_WINEPREFIX:-$build/wineprefix}"
export WINEPREFIX="$QUEL_WINEPREFIX" WINEARCH=win32 WINEDEBUG=-all
# Wine runs the 32-bit programs as 32-bit Linux processes: a kernel that runs
# no 32-bit x86 code can build them, but nothing of them can run there.
probe=0
problem="$("$(dirname "$0")/needs-ia32-vm.sh" 2>&1)" || probe=$?
case $probe in
  0) echo "wine-session: this machine's kernel runs no 32-bit x86 programs (IA-32 emulation is off), so Wine cannot run the programs or their tests here" >&2
     exit 2 ;;
  2) echo "wine-session: Wine does not start: $problem" >&2
     exit 2 ;;
esac
# A wineserver left from a run without a display breaks later runs.
wineserver -k 2>/dev/null || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if ! log="$(wineboot -i 2>&1)"; then
    # A half-made prefix would be taken for a made one next time.
    echo "wine-session: Wine could not create its prefix $WINEPREFIX:" >&2
    printf '%s\n' "$log" | tail -5 >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    exit 2
  fi
  wineserver -w
fi
wineserver -p
# Start the prefix's services now: started from inside a test they would
# inherit its output pipes and keep the test runner waiting for ever.
wine cmd /c exit </dev/null >/dev/null 2>&1
# A crashing program must end with its crash report, not wait for a debugger.
if [ ! -f "$WINEPREFIX/.no-crash-debugger" ]; then
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.no-crash-debugger"
fi
# Wine closes the desktop a second after its last program has gone and starts
# it anew for the next, and a program that starts meanwhile gets no windows:
# one program holds the desktop for the whole session (the server ends it).
holder="$build/bin/session_desktop.exe"
if [ -f "$holder" ]; then
  held=""
  for attempt in 1 2 3 4 5; do
    coproc HOLDER { wine "$holder" </dev/null 2>/dev/null; }
    if read -r -t 120 -u "${HOLDER[0]}" line && [[ "$line" == ready* ]]; then
      held=yes
      break
    fi
    kill "$HOLDER_PID" 2>/dev/null || true  # one that hangs is not waited for
    wait "$HOLDER_PID" 2>/dev/null || true
    sleep 2
  done
  [ -n "$held" ] || echo "wine-session: no program could hold the desktop; windows may fail now and then" >&2
fi
status=0
"$@" || status=$?
# The server writes the registry as it ends: wait for it (a virtual machine
# powers off when this script returns).
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
exit $status
