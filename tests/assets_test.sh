#!/bin/sh
# The game's pictures, sounds and icon are made by tools/makeassets from the sources in tools/
# and committed so that the game runs straight from a clone. This test fails when a committed
# file is missing or holds other pixels or samples than the generator writes now, and when the
# library cannot load a file or a file breaks a rule the game relies on. The bytes may differ:
# the files are written by libraries, whose versions may encode the same content differently.
#   assets_test.sh MAKEASSETS CHECKASSETS SAMECONTENT SOURCE-FOLDER
set -eu
makeassets=$1
checkassets=$2
samecontent=$3
source=$4

# The game's files, as assets.txt lists them, and the icons.
files=$(sed -e '/^#/d' -e '/^$/d' "$source/assets.txt")
icon_sizes="16 32 48 64 128 256"
for size in $icon_sizes; do
    files="$files linux/icons/${size}x$size/gravelmoth.png"
done
files="$files linux/icons/gravelmoth.xpm"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$makeassets" "$work/first"
"$makeassets" "$work/second"

status=0
for file in $files; do
    if [ ! -f "$work/first/$file" ]; then
        echo "$file: the generator did not write it"
        status=1
    elif ! cmp -s "$work/first/$file" "$work/second/$file"; then
        echo "$file: two runs of the generator wrote different bytes"
        status=1
    elif [ ! -f "$source/$file" ]; then
        echo "$file: missing from the repository"
        status=1
    elif ! cmp -s "$work/first/$file" "$source/$file" &&
        ! "$samecontent" "$source/$file" "$work/first/$file"; then
        echo "$file: differs from the generator's output (regenerate it with makeassets)"
        status=1
    fi
done

# The comparison tells apart files of the same kind, size and format.
for pair in gfx/car.tga:gfx/enemycar.tga sfx/explosion.wav:sfx/mineexplosion.wav; do
    if "$samecontent" "$work/first/${pair%:*}" "$work/first/${pair#*:}" >/dev/null; then
        echo "$pair: taken for the same content"
        status=1
    fi
done

# Every file the generator writes is one the game or the install uses, and is listed above.
listed=" $(printf '%s' "$files" | tr '\n' ' ') "
for written in $(cd "$work/first" && find . -type f | sed 's|^\./||' | sort); do
    case "$listed" in
    *" $written "*) ;;
    *)
        echo "$written: written by the generator but not checked here"
        status=1
        ;;
    esac
done

# The checker also decodes the icons, with libpng, as a desktop reads them.
"$checkassets" "$source" || status=1

[ $status -eq 0 ] && echo "all assets match their sources and keep the game's rules"
exit $status
