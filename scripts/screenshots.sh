#!/bin/bash
# Takes the screenshots in docs/screenshots/ from the real game: the title screen, a race a few
# seconds in with enemies about, a race with all four kinds of enemy and a robot's bullet on
# screen at once, and the pause screen. Builds nothing; needs Xvfb, xdotool and
# ImageMagick, as the tests do.
#   scripts/screenshots.sh [GAME]    GAME defaults to build/gravelmoth
# The game runs in a scratch folder under its own X server, so no "highscore.sav" is touched.
repo=$(cd "$(dirname "$0")/.." && pwd)
# GAME, XCLOSE and ASSETS are read by lib.sh.
# shellcheck disable=SC2034
GAME=$(realpath "${1:-$repo/build/gravelmoth}")
# shellcheck disable=SC2034
XCLOSE=/bin/false # not needed: the game is ended with its own keys
ASSETS=$repo
# shellcheck source=SCRIPTDIR/../tests/e2e/lib.sh disable=SC1091
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

# The colour of a palette character of the pictures' sources, as "R G B".
palette_colour() { awk -v c="$1" '$1 == c { print $2, $3, $4 }' "$ASSETS/tools/art/palette.txt"; }

# A stone, a mine, a chasing car, a robot and its bullet at once, each told by a colour only it
# wears: the stone's brown, the mine's warning yellow, the robot's visor, the bullet's cyan, and
# the chasing car's red highlight, which starts 4 columns into it, so that the car is wholly in
# view.
all_kinds() {
    is_race "$1" || return 1
    local c
    for c in n W e u; do
        # shellcheck disable=SC2046
        [ -n "$(bbox "$1" $(palette_colour $c) 4)" ] || return 1
    done
    # shellcheck disable=SC2046
    bbox "$1" $(palette_colour p) 4 | awk '$1 >= 4 { found = 1 } END { exit !found }'
}

# Drives the car out to the middle of the field, where a chasing car comes fully into view.
drive_to_middle() {
    press Right
    sleep 4
    press Left
}

# Enemies come at random, so this takes a while; a race lost meanwhile is followed by another.
wait_for_all_kinds() {
    local deadline=$(($(date +%s) + 300))
    drive_to_middle
    while [ "$(date +%s)" -lt "$deadline" ]; do
        running || fail "the game ended while waiting for all four kinds"
        shot all-kinds
        all_kinds all-kinds && return 0
        if is_title all-kinds; then
            press Return
            wait_for 10 race-next is_race race-next
            drive_to_middle
        fi
        sleep "$POLL"
    done
    fail "all four kinds did not show within 300 seconds"
}

start_xvfb
use_assets
start_to_title title
press Return
wait_for 10 race is_race race
sleep 4
wait_for 20 race has_enemies race
wait_for_all_kinds
press Return
wait_for 10 pause pause_word_shown pause
press Tab
wait_for 10 title-again is_title title-again
press Alt_L
wait_exit 10
[ "$STATUS" -eq 0 ] || fail "the game ended with status $STATUS"

for name in title race all-kinds pause; do
    # No time stamps or other metadata, so that unchanged pictures stay unchanged files.
    convert "$SHOTS/$name.png" -strip "$out/$name.png" || fail "cannot write $out/$name.png"
    echo "$out/$name.png"
done
