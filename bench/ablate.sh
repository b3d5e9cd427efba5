#!/usr/bin/env bash
# Builds liststats' benchmarks and measures what each speed mechanism gains: each patch under
# bench/ablation/ takes one out (see bench/ablation.py). Prints a Markdown table, a row per
# patch; about three minutes a patch at the default eleven rounds.
#   bench/ablate.sh [--rounds 11] [--lines 10000000] [--rows integers,decimals,decimals-crlf] [--as-benchmark] [PATCH ...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --bench
scripts/build.sh bench >/dev/null
# Under an X server and a session bus of its own, as bench/run.sh, for --as-benchmark's starts.
exec xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -noreset" \
    dbus-run-session -- python3 bench/ablation.py "$@"
