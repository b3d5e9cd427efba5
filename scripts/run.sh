#!/usr/bin/env bash
# Sets up, builds and starts liststats on the bundled example list, examples/List.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh default

if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]]; then
    echo "liststats is a desktop program, and this session has no display (DISPLAY is not set)." >&2
    echo "Run this command from a desktop session, or over 'ssh -X', or on a virtual display:" >&2
    echo "  sudo apt-get install xvfb xauth && xvfb-run scripts/run.sh" >&2
    exit 1
fi
cd examples
exec ../build/default/liststats
