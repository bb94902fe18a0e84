#!/usr/bin/env bash
# Builds and runs the RX/TX window's benchmark: one window fed with its port's
# data records at 100 KB/s and 1 MB/s, 10 seconds each (an optional argument
# gives other seconds), under Xvfb. Prints the bytes the view took per second,
# its paints, the longest wait of a message sent to the window, the records the
# stand-in had to drop, and the live-block count before and after.
set -euo pipefail
exec "$(dirname "$0")/build-and-run.sh" 'wine rxtx_bench.exe "$@"' "$@"
