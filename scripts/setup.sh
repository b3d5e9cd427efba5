#!/usr/bin/env bash
# Installs, from Debian's or Ubuntu's archive, whatever liststats needs and the machine lacks.
#   scripts/setup.sh          to build and run the program
#   scripts/setup.sh --test   also what the tests need (a virtual X server, xdotool, Python 3,
#                             clang with libFuzzer)
#   scripts/setup.sh --bench  also what the benchmarks need (the peer datamash, XCB headers)
set -euo pipefail

packages=(g++ make cmake pkg-config qt6-base-dev libboost1.81-dev libmpfr-dev)
case "${1:-}" in
    --test) packages+=(xvfb xauth xdotool python3 clang libclang-rt-14-dev desktop-file-utils dpkg-dev) ;;
    --bench) packages+=(xvfb xauth python3 datamash libxcb1-dev) ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if ! command -v apt-get >/dev/null; then
    echo "Missing Debian/Ubuntu packages: ${missing[*]}" >&2
    echo "Without apt-get, install their equivalents yourself: a C++20 compiler, CMake 3.25 or later," >&2
    echo "pkg-config, Qt 6.4 or later (Widgets and Test), Boost 1.81 or later (headers) and MPFR, all" >&2
    echo "with their development files; for the tests also Xvfb, xauth, xdotool, Python 3 and" >&2
    echo "clang 14 with its libFuzzer runtime, desktop-file-utils and dpkg-dev." >&2
    echo "Then run this command again." >&2
    exit 1
fi

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
echo "Installing ${missing[*]} ..."
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
