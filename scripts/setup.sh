#!/usr/bin/env bash
# Installs, from the system's own archive with apt-get, whatever liststats needs and the machine
# lacks. Package names are the ones this system's apt offers, not names pinned to one release.
#   scripts/setup.sh          to build and run the program
#   scripts/setup.sh --test   also what the tests need (GMP, a virtual X server, xdotool, Python 3,
#                             clang with libFuzzer, the package tools)
#   scripts/setup.sh --bench  also what the benchmarks need (the peer datamash, XCB headers, a session bus)
#   scripts/setup.sh --screen-reader  also what scripts/check-screen-reader.sh needs (Orca, the
#                             accessibility bus, a session bus, openbox, Xvfb, xdotool, xclip)
set -euo pipefail

# The usage above, from this file's comment.
usage() { sed -n '/^#   scripts\/setup.sh/,/^set /s/^# //p' "$0"; }

packages=(g++ make cmake qt6-base-dev)
case "$#:${1:-}" in
    0:) ;;
    1:--test) packages+=(pkg-config libgmp-dev xvfb xauth xdotool python3 clang libclang-rt-dev desktop-file-utils dpkg-dev file) ;;
    1:--bench) packages+=(xvfb xauth dbus python3 datamash libxcb1-dev) ;;
    1:--screen-reader) packages+=(xvfb xdotool xclip orca openbox at-spi2-core dbus) ;;
    1:-h | 1:--help) usage; exit 0 ;;
    *) echo "scripts/setup.sh: unknown option \"$*\"; it takes one of these, or none:" >&2; usage >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
# Boost 1.81 or later, for unordered_flat_map: whichever package provides the headers.
boost_installed() {
    local version
    version=$(sed -n 's/^#define BOOST_VERSION \([0-9]*\)$/\1/p' /usr/include/boost/version.hpp 2>/dev/null)
    ((${version:-0} >= 108100))
}
boost_installed || missing+=(boost)
[[ ${#missing[@]} -eq 0 ]] && exit 0

if ! command -v apt-get >/dev/null; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Without apt-get, install their equivalents yourself: a C++20 compiler, CMake 3.25 or later," >&2
    echo "Qt 6.4 or later (Widgets and Test) and Boost 1.81 or later (headers), with their development" >&2
    echo "files; for the tests also pkg-config, GMP, Xvfb, xauth, xdotool, Python 3, clang with its" >&2
    echo "libFuzzer runtime, desktop-file-utils, dpkg-dev and file." >&2
    echo "Then run this command again." >&2
    exit 1
fi
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root: run this as root." >&2; exit 1; }
    sudo=(sudo)
fi
"${sudo[@]}" apt-get update -qq

# The version apt would install of a package, or nothing when it has none.
candidate() {
    apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -v '^(none)$' || true
}
at_least_1_81() {
    local version
    version=$(candidate "$1")
    [[ -n $version ]] && dpkg --compare-versions "$version" ge 1.81
}
# The unversioned headers package when it is new enough, else the newest versioned one that is.
boost_package() {
    local name
    for name in libboost-dev $(apt-cache pkgnames libboost1. | grep -E '^libboost1\.[0-9]+-dev$' | sort -rV); do
        at_least_1_81 "$name" && { echo "$name"; return; }
    done
    echo "This system's archive has no Boost 1.81 or later (libboost-dev or libboost1.NN-dev)." >&2
    exit 1
}
if [[ ${missing[-1]} == boost ]]; then
    boost=$(boost_package)
    missing[-1]=$boost
fi

echo "Installing ${missing[*]} ..."
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
