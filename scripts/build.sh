#!/usr/bin/env bash
# Configures and builds one CMake preset (CMakePresets.json) on every core: how every other
# script builds liststats. Arguments after the preset go to `cmake --build`.
#   scripts/build.sh PRESET [--target NAME]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:?usage: scripts/build.sh PRESET [--target NAME]}
shift
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" "$@"
