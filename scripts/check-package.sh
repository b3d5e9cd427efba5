#!/usr/bin/env bash
# Checks the Debian package as Debian's tools and a user meet it, on the system it runs on. It
# needs root and installs the package, so run it on a throwaway system, as CI does on its fresh
# Debian 12 and 13 roots.
#   1. It builds the package with the release preset, and checks what it holds as the test suite
#      does (tests/check_package.sh: the files, the launcher entry, the dependencies).
#   2. lintian must report no error and no warning; appstreamcli must validate the metainfo
#      without either.
#   3. apt installs the package with what it depends on; `man liststats` shows the manual page.
#   4. The launcher entry, started as the desktop starts it (GLib's gio launch), runs the
#      program in the home folder on a virtual display: without a file it shows the window for
#      ~/List.txt, and given a file (as "Open with" gives one) it shows that file's list, with
#      no ~/List.txt; each time it ends on "Done".
set -euo pipefail
cd "$(dirname "$0")/.."
id=org.liststats.liststats

scripts/setup.sh
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends lintian appstream desktop-file-utils dpkg-dev file man-db \
    xvfb xauth xdotool libglib2.0-bin >/dev/null
scripts/build.sh release >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# What the package holds and depends on, and the launcher entry, as the test suite checks them.
tests/check_package.sh "$PWD/build/release" "$work/scratch"
package=$(ls "$work"/scratch/liststats_*.deb)

# Prints the tool's report; fails when it holds an error or a warning.
no_complaint() {
    local report
    report=$("$@" 2>&1 | grep -v '^running with root privileges' || true)
    echo "$1: ${report:-no complaint}"
    ! grep -qE '^(E|W):' <<<"$report"
}
dpkg-deb -x "$package" "$work/contents"
no_complaint lintian "$package"
no_complaint appstreamcli validate --no-net "$work/contents/usr/share/metainfo/$id.metainfo.xml"

apt-get install -y -qq "$package" >/dev/null
man liststats 2>/dev/null | grep -q 'liststats - show the mean and the mode of the numbers in a list'
echo "installed with apt; man liststats shows the manual page"

# On the virtual display: start the launcher entry (with the file given, if one is), click Mean,
# then Done, and see it end.
launch_and_end() {
    gio launch "/usr/share/applications/$1.desktop" "${@:2}" &
    local window="" pid deadline=$((SECONDS + 30))
    # xdotool's search fails outright when a window closes while it looks (BadWindow): again.
    until [[ -n $window ]] || ((SECONDS > deadline)); do
        window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Form1$' | head -n 1) || true
    done
    [[ -n $window ]] || { echo "no window Form1" >&2; return 1; }
    pid=$(xdotool getwindowpid "$window")
    [[ $(readlink "/proc/$pid/cwd") == "$HOME" ]] || { echo "not started in $HOME" >&2; return 1; }
    xdotool mousemove --window "$window" 264 24 click 1 # Mean
    sleep 1
    xdotool mousemove --window "$window" 264 192 click 1 # Done
    for _ in $(seq 150); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.2
    done
    echo "the program did not end on Done" >&2
    return 1
}
printf '3\n7\n7\n' >"$HOME/List.txt"
(cd / && xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c "$(declare -f launch_and_end); launch_and_end $id")
echo "started from the launcher entry in the home folder, ended on Done"
rm "$HOME/List.txt"
printf '1\n2\n' >"$work/my list.txt"
(cd / && xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c "$(declare -f launch_and_end); launch_and_end $id '$work/my list.txt'")
echo "opened \"my list.txt\" with the launcher entry, with no ~/List.txt; ended on Done"
