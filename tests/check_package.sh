#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds its Debian package: the launcher entry
# must pass desktop-file-validate and be the one the metainfo names, every icon size, the manual
# page, changelog and copyright must be there, and the package must declare the libraries the
# program links.   check_package.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build=$1 scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch"

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
id=org.liststats.liststats
desktop-file-validate "$scratch/prefix/share/applications/$id.desktop"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$scratch/prefix/share/metainfo/$id.metainfo.xml"
test -x "$scratch/prefix/bin/liststats"
for doc in man/man1/liststats.1.gz doc/liststats/changelog.gz doc/liststats/copyright; do
    test -s "$scratch/prefix/share/$doc"
done
for size in 16 32 48 64 128 256; do
    test -s "$scratch/prefix/share/icons/hicolor/${size}x${size}/apps/liststats.png"
done

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
package=$(ls "$scratch"/liststats_*.deb)
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6; do
    [[ $depends == *"$library"* ]] || { echo "the package does not depend on $library: $depends" >&2; exit 1; }
done
dpkg-deb -c "$package" | grep " ./usr/share/applications/$id.desktop\$" >/dev/null
echo "package $(basename "$package") depends on: $depends"
