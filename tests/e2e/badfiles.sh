#!/bin/bash
# Damaged pictures and sounds in the real program, a few representative cases (the unit tests
# try every file with every damage): a file the library refuses ends the game with the file's
# numbered report and a failure status when the game first needs it; a picture that loads with
# rows missing lets the game go on.
#   badfiles.sh GAME XCLOSE ASSETS CASE
# CASE: title-is-a-sound | car-empty | shot-sound-truncated | engine-is-a-picture |
#       title-truncated | car-truncated | huge-enemies
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

# Replaces FILE of the game's copy of the assets with the first half of itself, with nothing,
# or with the bytes of OTHER.
cut_in_half() { head -c $(($(size_of "$ASSETS/$1") / 2)) "$ASSETS/$1" >"$RUN/$1"; }
make_empty() { : >"$RUN/$1"; }
replace_with() { cp "$ASSETS/$2" "$RUN/$1"; } # replace_with FILE OTHER

# The game ends by itself with status 1 and exactly the one report.
expect_report() { # expect_report TEXT
    wait_exit 20
    check "the game ends with the failure status 1 (was $STATUS)" test "$STATUS" -eq 1
    check "the report is exactly '$1' (was '$(cat "$MESSAGES")')" test "$(cat "$MESSAGES")" = "$1"
}

# The title screen comes up with the damaged file in place; ENTER leaves it for a race.
title_then_race() {
    start_to_title title
    check "nothing was reported at the title" test ! -s "$MESSAGES"
    press_to_leave Return 5 title-left is_title
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

case_shot_sound_truncated() {
    start_xvfb
    copy_assets
    cut_in_half sfx/explosion.wav
    title_then_race
    expect_report 'Error008: Loading sample "sfx/explosion.wav" failed'
}

case_engine_is_a_picture() {
    start_xvfb
    copy_assets
    replace_with sfx/racecar.wav gfx/car.tga
    title_then_race
    expect_report 'Error008: Loading sample "sfx/racecar.wav" failed'
}

# The title picture cut in half still loads: the rows it lost come out filled in, the game
# shows the rest, and races as ever. The library writes a TGA's rows from the bottom up, so the
# first half of the file is the lower half of the picture (the best result is printed on it).
case_title_truncated() {
    start_xvfb
    copy_assets
    cut_in_half gfx/title.tga
    start_game
    find_window
    picture title-file "$ASSETS/gfx/title.tga"
    lower_half_shown() {
        # shellcheck disable=SC2086
        [ "$(mismatches "$1" title-file 0 0 320 0 110 319 199 8 $TEXT_ROWS)" -eq 0 ]
    }
    wait_for 20 title lower_half_shown title
    press Return
    wait_for 10 race is_race race
    sleep 2
    close_and_expect_clean_exit
    check "the race's result was saved" test "$(size_of "$RUN/highscore.sav")" -eq 8
}

# The player's car cut in half: the race runs with what the picture has.
case_car_truncated() {
    start_xvfb
    copy_assets
    cut_in_half gfx/car.tga
    title_then_race
    wait_for 10 race is_race race
    sleep 2
    check "the race goes on" is_race race
    close_and_expect_clean_exit
    check "the race's result was saved" test "$(size_of "$RUN/highscore.sav")" -eq 8
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
    wait_for 10 enemies covered enemies
    sleep 4
    check "the race goes on with enemies larger than the screen" running
    close_and_expect_clean_exit
}

case ${4:-} in
title-is-a-sound) case_title_is_a_sound ;;
car-empty) case_car_empty ;;
shot-sound-truncated) case_shot_sound_truncated ;;
engine-is-a-picture) case_engine_is_a_picture ;;
title-truncated) case_title_truncated ;;
car-truncated) case_car_truncated ;;
huge-enemies) case_huge_enemies ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
