#!/usr/bin/env bash
# Renders docs/screenshot.png: the window after "Mean" on examples/List.txt, drawn offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh default --target liststats_screenshot >/dev/null
(cd examples && QT_QPA_PLATFORM=offscreen ../build/default/liststats_screenshot ../docs/screenshot.png)
echo "wrote docs/screenshot.png"
