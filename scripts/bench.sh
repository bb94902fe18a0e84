#!/usr/bin/env bash
# Builds and runs the console monitor's benchmark: records per second and MB/s
# through the whole road next to a plain pipe reader, and the live-block count
# under a slow consumer. An optional argument scales the record counts (1.0).
set -euo pipefail
exec "$(dirname "$0")/build-and-run.sh" 'wine regsvr32 /s quelstd.dll && wine quelcon_bench.exe "$@"' "$@"
