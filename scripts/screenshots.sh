#!/bin/bash
# Takes the screenshots in docs/screenshots/ from the real game: the title screen, a race a few
# seconds in with enemies about, and the pause screen. Builds nothing; needs Xvfb, xdotool and
# ImageMagick, as the tests do.
#   scripts/screenshots.sh [GAME]    GAME defaults to build/gravelmoth
# The game runs in a scratch folder under its own X server, so no "highscore.sav" is touched.
repo=$(cd "$(dirname "$0")/.." && pwd)
GAME=$(realpath "${1:-$repo/build/gravelmoth}")
XCLOSE=/bin/false # not needed: the game is ended with its own keys
ASSETS=$repo
# shellcheck source=SCRIPTDIR/../tests/e2e/lib.sh
. "$repo/tests/e2e/lib.sh"

out=$repo/docs/screenshots
mkdir -p "$out"

# Something besides the car on the white field: an enemy.
has_enemies() {
    local w
    w=$(identify -format %w "$ASSETS/gfx/car.tga")
    # Everything right of the car that is not white.
    [ $((191 * (320 - w) - $(count "$1" "$w" 0 319 190 255 255 255 0))) -gt 300 ]
}

start_xvfb
use_assets
start_to_title title
press Return
wait_for 10 race is_race race
sleep 4
wait_for 20 race has_enemies race
press Return
wait_for 10 pause pause_word_shown pause
press Tab
wait_for 10 title-again is_title title-again
press Alt_L
wait_exit 10
[ "$STATUS" -eq 0 ] || fail "the game ended with status $STATUS"

for name in title race pause; do
    # No time stamps or other metadata, so that unchanged pictures stay unchanged files.
    convert "$SHOTS/$name.png" -strip "$out/$name.png" || fail "cannot write $out/$name.png"
    echo "$out/$name.png"
done
