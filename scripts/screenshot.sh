#!/usr/bin/env bash
# Renders docs/screenshot.png: the window after "Mean" on examples/List.txt, drawn offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target liststats_screenshot -j "$(nproc)" >/dev/null
(cd examples && QT_QPA_PLATFORM=offscreen ../build/default/liststats_screenshot ../docs/screenshot.png)
echo "wrote docs/screenshot.png"
