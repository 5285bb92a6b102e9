#!/bin/sh
# Builds the Debian package with dpkg-buildpackage (the unit tests included) from a copy of
# this folder in a scratch folder, since the package is written next to the source.
#   scripts/package.sh          leaves gravelmoth_VERSION_ARCH.deb in this folder
#   scripts/package.sh --check  keeps nothing, but checks the package without installing it:
#                               lintian, the software-centre metadata, the desktop entry, the
#                               files it holds, and a race played from it (the autopkgtest,
#                               run on the unpacked package)
set -eu
cd "$(dirname "$0")/.."
here=$(pwd)
check=false
[ "${1:-}" = --check ] && check=true
. scripts/deps.sh
install_missing $build_packages $generator_packages $test_packages $package_packages

work=$(mktemp -d /tmp/gravelmoth-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
# The files git keeps or would keep, as they are now: no build folders, no version control.
mkdir "$work/source"
git ls-files -z --cached --others --exclude-standard |
    tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C "$work/source"
(cd "$work/source" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b)

deb=$(ls "$work"/gravelmoth_*.deb)
if ! $check; then
    cp "$deb" "$here/"
    echo "built $(basename "$deb")"
    exit 0
fi

echo "--- lintian"
lintian --fail-on error,warning --display-info "$work"/*.deb

root=$work/root
dpkg-deb -x "$deb" "$root"
echo "--- AppStream metadata"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
echo "--- desktop entry"
desktop-file-validate "$root/usr/share/applications/gravelmoth.desktop"
echo "--- files"
for size in 16 32 48 64 128 256; do
    [ -f "$root/usr/share/icons/hicolor/${size}x$size/apps/gravelmoth.png" ] || {
        echo "the package holds no icon of $size pixels"
        exit 1
    }
done
for file in usr/games/gravelmoth usr/lib/games/gravelmoth/gravelmoth \
    usr/share/games/gravelmoth/gfx/title.tga usr/share/games/gravelmoth/sfx/racecar.wav \
    usr/share/man/man6/gravelmoth.6.gz; do
    [ -f "$root/$file" ] || {
        echo "the package holds no /$file"
        exit 1
    }
done
echo "--- autopkgtest play-a-race, on the unpacked package"
debian/tests/play-a-race "$root"
echo "$(basename "$deb") built and checked"
