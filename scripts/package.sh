#!/bin/sh
# Builds the Debian package with dpkg-buildpackage (the unit tests included, unless
# DEB_BUILD_OPTIONS says nocheck) from a copy of this folder in a scratch folder, since the
# package is written next to the source.
#   scripts/package.sh                leaves gravelmoth_VERSION_ARCH.deb in this folder
#   scripts/package.sh --check        keeps nothing, but builds the source package too and checks
#                                     both without installing them: lintian (pedantic on the
#                                     source package), the software-centre metadata, the desktop
#                                     entry, the files it holds, the hardening of the program
#                                     and of its build, and a race played from it (the
#                                     autopkgtest, run on the unpacked package)
#   scripts/package.sh --reproducible builds it twice, without the unit tests, in two folders,
#                                     time zones, locales, umasks and dates, and fails unless
#                                     both are byte for byte the same; leaves it here
set -eu
cd "$(dirname "$0")/.."
here=$(pwd)
mode=${1:-}
. scripts/deps.sh
# shellcheck disable=SC2046,SC2086
install_missing $compiler_packages $(build_depends check) $git_packages $package_packages

work=$(mktemp -d /tmp/gravelmoth-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

# Copies the files git keeps or would keep, as they are now (no build folders, no version
# control), to the folder DIR and builds the package there, logging to DIR.log; the .deb
# lands next to DIR (with the source package's .dsc when PARTS is -F rather than -b). The caller
# may wrap the build in a command: build DIR [COMMAND...]
parts=-b
build() {
    dir=$1
    shift
    mkdir -p "$dir"
    git ls-files -z --cached --others --exclude-standard |
        tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C "$dir"
    options="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=$(nproc)"
    rm -f "$work/failed"
    { (cd "$dir" && DEB_BUILD_OPTIONS=$options "$@" dpkg-buildpackage -us -uc "$parts") 2>&1 ||
        touch "$work/failed"; } | tee "$dir.log"
    [ ! -e "$work/failed" ]
}

# The two builds differ in all a build must not depend on; SOURCE_DATE_EPOCH comes from
# debian/changelog either way.
if [ "$mode" = --reproducible ]; then
    # shellcheck disable=SC2086
    install_missing $reproducible_packages
    export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }nocheck"
    (umask 022 && build "$work/one/gravelmoth" env TZ=UTC0 LC_ALL=C.UTF-8)
    (umask 002 && build "$work/two/a/longer/path/gravelmoth" \
        env TZ=KIR-14 LC_ALL=C LANG=C faketime -f +400d)
    one=$(ls "$work"/one/gravelmoth_*.deb)
    two=$work/two/a/longer/path/$(basename "$one")
    if ! cmp "$one" "$two"; then
        for deb in "$one" "$two"; do dpkg-deb -R "$deb" "$deb.tree"; done
        diff -r "$one.tree" "$two.tree" || true
        echo "two builds of $(basename "$one") differ"
        exit 1
    fi
    cp "$one" "$here/"
    echo "$(basename "$one") built twice, byte for byte the same: $(sha256sum <"$one")"
    exit 0
fi

[ "$mode" != --check ] || parts=-F
build "$work/source"
deb=$(ls "$work"/gravelmoth_*.deb)
if [ "$mode" != --check ]; then
    cp "$deb" "$here/"
    echo "built $(basename "$deb")"
    exit 0
fi

echo "--- lintian"
# Lintian leaves files of its own in the temporary folder: here they go with the rest.
TMPDIR=$work lintian --fail-on error,warning --display-info "$work"/*.deb
# Pedantic tags are shown; newer releases ask for what bookworm cannot give (debhelper 14).
TMPDIR=$work lintian --fail-on error,warning --pedantic --display-info "$work"/*.dsc

root=$work/root
dpkg-deb -x "$deb" "$root"
echo "--- AppStream metadata"
appstreamcli validate --pedantic --no-net "$root"/usr/share/metainfo/*.metainfo.xml
echo "--- desktop entry"
desktop-file-validate "$root/usr/share/applications/gravelmoth.desktop"
echo "--- files"
for file in usr/games/gravelmoth usr/lib/games/gravelmoth/gravelmoth \
    $(printf '%s\n' linux/icons/*/gravelmoth.png | sed 's|^linux/icons/\(.*\)/|usr/share/icons/hicolor/\1/apps/|') \
    usr/share/man/man6/gravelmoth.6.gz; do
    [ -f "$root/$file" ] || {
        echo "the package holds no /$file"
        exit 1
    }
done
echo "--- hardening: the program, and every compiler and linker call of its build"
# The five features every Debian release's hardening-check knows; newer ones vary with it.
hardening-check "$root/usr/lib/games/gravelmoth/gravelmoth" >"$work/hardening" || true
cat "$work/hardening"
for feature in "Position Independent Executable" "Stack protected" "Fortify Source functions" \
    "Read-only relocations" "Immediate binding"; do
    grep -q "^ $feature: yes" "$work/hardening" || {
        echo "the program is built without: $feature"
        exit 1
    }
done
blhc --bindnow "$work/source.log"
echo "--- autopkgtest play-a-race, on the unpacked package"
debian/tests/play-a-race "$root"
echo "$(basename "$deb") built and checked"
