#!/bin/sh
# assets.txt is the list of the game's files that the generator, the install and the tests
# read, while the game names each file where it loads it. Fails
# when the two differ (a file loaded but not listed is never installed; one listed but never
# loaded is dead weight), when a file is listed twice, and when the man page leaves one out.
#   assetlist_test.sh SOURCE-FOLDER
set -eu
source=$1

work=$(mktemp -d "${TMPDIR:-/tmp}/gravelmoth-assetlist-XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

sed -e '/^#/d' -e '/^$/d' "$source/assets.txt" | sort >"$work/lines"
uniq "$work/lines" >"$work/listed"
cat "$source"/src/*.cpp "$source"/src/*.h | grep -o '"[gs]fx/[^"]*"' | tr -d '"' |
    sort -u >"$work/loaded"
{
    comm -23 "$work/listed" "$work/loaded" | sed 's/$/: listed in assets.txt, but the game never loads it/'
    comm -13 "$work/listed" "$work/loaded" | sed 's/$/: loaded by the game, but not listed in assets.txt/'
    uniq -d "$work/lines" | sed 's/$/: listed twice in assets.txt/'
    while read -r file; do
        grep -qF "${file##*/}" "$source/linux/gravelmoth.6.in" || echo "$file: not named in the man page"
    done <"$work/listed"
} >"$work/problems"

if [ -s "$work/problems" ]; then
    cat "$work/problems"
    exit 1
fi
echo "assets.txt lists the $(wc -l <"$work/listed") files the game loads, and the man page names them"
