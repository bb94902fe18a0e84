#!/usr/bin/env bash
# Builds and runs gatecfg's keep-alive benchmark: the round trip of the fake
# controller's keep-alives through the tool's form at 5, 50 and 200 a second.
# An optional argument sets the seconds per rate (5).
set -euo pipefail
exec "$(dirname "$0")/build-and-run.sh" 'wine gatecfg_bench.exe "$@"' "$@"
