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

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$makeassets" "$work/first"
"$makeassets" "$work/second"

# What the generator writes (which it holds to assets.txt) is what the folders it writes into
# hold in the repository, each file with the same content.
(cd "$work/first" && find . -type f | sed 's|^\./||' | sort) >"$work/written"
(cd "$source" && find gfx sfx linux/icons -type f | sort) >"$work/committed"
status=0
comm -3 "$work/written" "$work/committed" | sed 's/^\t\(.*\)/\1: committed, but the generator does not write it/; s/^[^:]*$/&: missing from the repository/'
cmp -s "$work/written" "$work/committed" || status=1
while read -r file; do
    if ! cmp -s "$work/first/$file" "$work/second/$file"; then
        echo "$file: two runs of the generator wrote different bytes"
        status=1
    elif [ -f "$source/$file" ] && ! cmp -s "$work/first/$file" "$source/$file" &&
        ! "$samecontent" "$source/$file" "$work/first/$file"; then
        echo "$file: differs from the generator's output (regenerate it with makeassets)"
        status=1
    fi
done <"$work/written"

# The comparison tells apart files of the same kind, size and format.
for pair in gfx/car.tga:gfx/enemycar.tga sfx/explosion.wav:sfx/mineexplosion.wav; do
    if "$samecontent" "$work/first/${pair%:*}" "$work/first/${pair#*:}" >/dev/null; then
        echo "$pair: taken for the same content"
        status=1
    fi
done

# The checker also decodes the icons, with libpng, as a desktop reads them.
"$checkassets" "$source" || status=1

[ $status -eq 0 ] && echo "all assets match their sources and keep the game's rules"
exit $status
