#!/usr/bin/env bash
# Builds and runs the console monitor's benchmark: records per second and MB/s
# through the whole road next to a plain pipe reader, and the live-block count
# under a slow consumer, then quelcon.exe's exit time after ESC or Ctrl-C, idle
# and with records flowing. An optional argument scales the record counts (1.0);
# "exit [RUNS]" measures the exit times alone, RUNS of each (3).
set -euo pipefail
# The exit times run quelcon in consoles of its own, which the benchmark
# attaches to in turn: on a terminal its own output would go with its console.
exec "$(dirname "$0")/build-and-run.sh" 'wine regsvr32 /s quelstd.dll && wine quelcon_bench.exe "$@" </dev/null | cat' "$@"
