#!/bin/bash
# Damaged pictures in the real program, the cases only a real process shows (the unit tests
# try every file with every damage): a file the library refuses ends the game with the file's
# numbered report, in a message box, and the failure status 1, at the start or in a race; and
# enemies larger than the screen.
#   badfiles.sh GAME XCLOSE ASSETS CASE
# CASE: title-is-a-sound | car-empty | huge-enemies
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

# Replaces FILE of the game's copy of the assets with nothing, or with the bytes of OTHER.
make_empty() { : >"$RUN/$1"; }
replace_with() { cp "$ASSETS/$2" "$RUN/$1"; } # replace_with FILE OTHER

# The game ends by itself with status 1 and exactly the one report.
expect_report() { # expect_report TEXT
    wait_exit 20
    check "the game ends with the failure status 1 (was $STATUS)" test "$STATUS" -eq 1
    check "the report is exactly '$1' (was '$(cat "$MESSAGES")')" test "$(cat "$MESSAGES")" = "$1"
}

# The title screen is gone, or the game with it.
left_title() { ended || { try_shot title-left && ! is_title title-left; }; }

# The title screen comes up with the damaged file in place; ENTER leaves it for a race.
title_then_race() {
    start_to_title title
    check "nothing was reported at the title" test ! -s "$MESSAGES"
    hold_until Return 10 left_title
}

case_title_is_a_sound() {
    start_xvfb
    copy_assets
    replace_with gfx/title.tga sfx/explosion.wav
    start_game
    expect_report 'Error006: Loading bitmap "gfx/title.tga" failed'
}

case_car_empty() {
    start_xvfb
    copy_assets
    make_empty gfx/car.tga
    title_then_race
    expect_report 'Error006: Loading bitmap "gfx/car.tga" failed'
    check "the race left no result" test ! -e "$RUN/highscore.sav"
}

# Writes a grey 24-bit TGA of WIDTH by HEIGHT.
grey_picture() { # grey_picture FILE WIDTH HEIGHT
    local w=$2 h=$3
    {
        printf '\0\0\2\0\0\0\0\0\0\0\0\0'
        little_endian 2 "$w" "$h"
        printf '\30\40'
        head -c $((w * h * 3)) /dev/zero | tr '\0' '\200'
    } >"$1"
}

# Every enemy's picture larger than the screen: there is no room to place them at random, so
# they come in at row or column 0, and the race goes on. A race brings an enemy on its first
# tick and one every two seconds or less after that.
case_huge_enemies() {
    start_xvfb
    copy_assets
    local file
    for file in stone enemycar mine mineexplosion robot robotbullet; do
        grey_picture "$RUN/gfx/$file.tga" 400 300
    done
    title_then_race
    covered() { [ "$(count "$1" 0 0 319 190 128 128 128 8)" -gt 1000 ]; }
    wait_for 10 shows enemies covered
    # Four race minutes, two enemies more at least: the clock in the strip goes on.
    for _ in 1 2 3 4; do
        cp "$SHOTS/enemies.px" "$SHOTS/enemies-before.px"
        wait_for 10 shows enemies strip_moved
    done
    log "ok: the race goes on with enemies larger than the screen"
    close_and_expect_clean_exit
}

strip_moved() { [ "$(differ "$1-before" "$1" 230 192 318 199)" -gt 0 ]; }

case ${4:-} in
title-is-a-sound) case_title_is_a_sound ;;
car-empty) case_car_empty ;;
huge-enemies) case_huge_enemies ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
