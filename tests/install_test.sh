#!/bin/sh
# Installs the game into a scratch root as a package build would (DESTDIR), checks that every
# file lands where a Debian game keeps it, then plays a race with the installed launcher (see
# play_installed.sh).
#   install_test.sh BUILD-DIR PREFIX GAMESDIR GAMELIBDIR GAMEDATADIR DATADIR MANDIR
# (the folders as full paths, as the build configured them).
set -eu
source=$(cd "$(dirname "$0")/.." && pwd)
build=$1 prefix=$2 gamesdir=$3 gamelibdir=$4 gamedatadir=$5 datadir=$6 mandir=$7

tmp=$(mktemp -d "${TMPDIR:-/tmp}/gravelmoth-install-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

root=$tmp/root
DESTDIR=$root cmake --install "$build" >"$tmp/install.log" || {
    cat "$tmp/install.log" >&2
    fail "cmake --install failed"
}

launcher=$root$gamesdir/gravelmoth
program=$root$gamelibdir/gravelmoth
[ -x "$launcher" ] || fail "no launcher at $gamesdir/gravelmoth"
[ -x "$program" ] || fail "no program at $gamelibdir/gravelmoth"
head -c 4 "$program" | grep -q ELF || fail "$gamelibdir/gravelmoth is not the program"
desktop=$root$datadir/applications/gravelmoth.desktop
[ -f "$desktop" ] || fail "no desktop entry"
grep -qx 'Categories=Game;ArcadeGame;' "$desktop" || fail "desktop entry is not in Game;ArcadeGame;"
grep -qx 'Exec=gravelmoth --scale auto' "$desktop" || fail "desktop entry does not start the launcher"
grep -qx 'Exec=gravelmoth --fullscreen' "$desktop" || fail "desktop entry offers no full-screen action"
grep -qx 'Icon=gravelmoth' "$desktop" || fail "desktop entry does not name the icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
fi

# A PNG starts with its signature and its IHDR chunk, which holds width and height.
# The icons are those the generator made, one a size.
for made in "$source"/linux/icons/*/; do
    size=$(basename "$made")
    size=${size%x*}
    icon=$root$datadir/icons/hicolor/${size}x$size/apps/gravelmoth.png
    [ -f "$icon" ] || fail "no icon of $size pixels"
    [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "the $size-pixel icon is no PNG"
    [ "$(od -An -tu4 --endian=big -j16 -N8 "$icon" | tr -s ' ' | sed 's/^ //')" = "$size $size" ] ||
        fail "the $size-pixel icon is not $size by $size"
done

metainfo=$root$datadir/metainfo/org.gravelmoth.gravelmoth.metainfo.xml
[ -f "$metainfo" ] || fail "no software-centre metadata"
grep -q '<launchable type="desktop-id">gravelmoth.desktop</launchable>' "$metainfo" ||
    fail "the metadata does not name the desktop entry"

manpage=$root$mandir/man6/gravelmoth.6
[ -f "$manpage" ] || fail "no man page in section 6"
! grep -n '@[A-Z_]*@' "$manpage" "$desktop" || fail "the man page or desktop entry was installed with placeholders"
if command -v man >/dev/null; then
    MANWIDTH=80 man -l "$manpage" >"$tmp/man.txt" 2>"$tmp/man.err" || fail "man -l cannot show the man page"
    for heading in NAME SYNOPSIS KEYS FILES "EXIT STATUS"; do
        grep -q "^$heading" "$tmp/man.txt" || fail "man page has no $heading section"
    done
    grep -q highscore.sav "$tmp/man.txt" || fail "man page does not name highscore.sav"
fi

"$source/tests/play_installed.sh" "$launcher" "$root$gamedatadir" || fail "playing the installed game failed"
echo "installed under $prefix"
