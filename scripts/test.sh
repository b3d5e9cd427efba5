#!/usr/bin/env bash
# Sets up, builds and runs every test: the optimised build with warnings as errors; a short run
# of each fuzz target (libFuzzer, clang); the tests of the threads' work on lines and statistics
# under ThreadSanitizer (clang; not tst_peer, whose child process its runtime cannot fork);
# then the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer. Ends with
# ctest's summary; fails if any test does.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --test
for preset in dev fuzz tsan asan; do
    scripts/build.sh "$preset"
done
ctest --preset dev
ctest --preset fuzz
ctest --preset tsan
ctest --preset asan
