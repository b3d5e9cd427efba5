#!/usr/bin/env bash
# Builds liststats with its benchmarks and measures it beside a plain reference program and GNU
# datamash, on seeded lists of 100,000 to 10,000,000 lines made on the fly. Prints a Markdown
# table (about ten minutes). Each kind with "-crlf" is the same list with CR LF line ends.
# 170,000,000 integers (1 GB, about two minutes a kind) on request:
#   bench/run.sh [--sizes 100000,1000000] [--repeats 5] [--kinds integers,decimals,decimals-crlf]
#   bench/run.sh --sizes 170000000 --kinds integers,integers-crlf
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --bench
scripts/build.sh bench >/dev/null
# An X server of our own, so that the time to the window is the same with or without a desktop;
# and a session bus, as every desktop has. Without one, Qt's first look at whether a screen
# reader listens (a list view makes it as its model is set, before the window shows) tries to
# launch a bus, about 10 ms that no user of a desktop waits for.
exec xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -noreset" \
    dbus-run-session -- python3 bench/bench.py "$@"
