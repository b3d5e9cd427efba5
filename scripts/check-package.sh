#!/usr/bin/env bash
# Checks the Debian package the way a user meets it, on a clean Debian 12 made with debootstrap
# (needs root and the Debian archive; about ten minutes): apt installs it with its dependencies,
# then the launcher entry starts it in the home folder on a virtual display, where it shows the
# window for ~/List.txt and ends on "Done".     scripts/check-package.sh [ROOT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-/tmp/liststats-clean-root}

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
(cd build/release && cpack -G DEB >/dev/null)
package=$(ls build/release/liststats_*.deb)

[[ -x $root/usr/bin/apt-get ]] || debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$package" "$root/tmp/"
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT

chroot "$root" /bin/bash -euo pipefail -c "
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq /tmp/$(basename "$package") >/dev/null
    apt-get install -y -qq xvfb xauth xdotool dex >/dev/null
    printf '3\n7\n7\n' > /root/List.txt
    cd /
    HOME=/root xvfb-run -a bash -euo pipefail -c '
        dex /usr/share/applications/liststats.desktop &
        window=\$(timeout 30 xdotool search --sync --onlyvisible --name \"^Form1\$\" | head -n 1)
        [[ -n \$window ]]
        xdotool mousemove --window \"\$window\" 264 24 click 1     # Mean
        sleep 1
        xdotool mousemove --window \"\$window\" 264 192 click 1    # Done
        timeout 30 bash -c \"while pgrep -x liststats >/dev/null; do sleep 0.2; done\"
    '
    echo 'installed with apt, started from the launcher entry in the home folder, ended on Done'
"
