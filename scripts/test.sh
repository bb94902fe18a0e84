#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine inside one Xvfb.
set -euo pipefail
exec "$(dirname "$0")/build-and-run.sh" 'ctest --test-dir .. --output-on-failure -j"$(nproc)" "$@"' "$@"
