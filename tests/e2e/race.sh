#!/bin/bash
# A race from the title screen and back: the race screen, the pause screen, quitting, the close
# button, and the result that each leaves in "highscore.sav". A race the enemies end is the
# unit tests' (game_test.cpp, game_enemies_test.cpp).
#   race.sh GAME XCLOSE ASSETS CASE
# CASE: pause-and-quit | close
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

# The player's car stands at the left edge, half-way down: its picture's pixels (those that are
# not the mask colour) are on the screen at x = 0, y = 100 - height / 2. An enemy may cover a
# few of them.
car_at_start() { # car_at_start NAME
    local w h top
    read -r w h <<<"$(identify -format '%w %h' "$ASSETS/gfx/car.tga")"
    top=$((100 - (h >> 1)))
    [ -f "$SHOTS/car-file.px" ] || picture car-file "$ASSETS/gfx/car.tga"
    [ "$(mismatches "$1" car-file 0 "$top" "$w" 0 "$top" $((w - 1)) $((top + h - 1)))" -le \
        $((w * h / 20)) ]
}

# Title, race, pause, resume, pause again, quit with TAB; back on the title, which shows the
# saved result. The pause screen's drawing is the unit tests'; the race clock is compared with
# itself, never with the wall clock, which a busy machine stretches.
case_pause_and_quit() {
    start_xvfb
    use_assets
    start_to_title title-before

    hold_until Return 10 shows race is_race
    check "the car starts at the left edge, half-way down" car_at_start race
    hold_until Return 10 shows pause is_pause
    check "the paused race is not drawn" test "$(count pause 0 191 319 191 0 0 0 0)" -lt 20
    hold_until Return 10 shows race-again is_race
    race_minutes 2 race-again
    hold_until Return 10 shows pause-again is_pause
    hold_until Tab 10 shows title-after is_title

    # shellcheck disable=SC2086
    check "the title shows the new best result" test "$(differ title-before title-after $TEXT_BOX)" -gt 0
    saved_minutes
    check "the result counts the race minutes run ($SAVED past 2:30)" test "$SAVED" -ge 2
    close_and_expect_clean_exit
}

# The close button during a race ends the game in an orderly way, and the race's result is
# still saved.
case_close() {
    start_xvfb
    use_assets
    start_to_title title
    hold_until Return 10 shows race is_race
    race_minutes 2 race
    close_and_expect_clean_exit
    saved_minutes
    check "the result counts the seconds raced ($SAVED race minutes)" test "$SAVED" -ge 2
}

case ${4:-} in
pause-and-quit) case_pause_and_quit ;;
close) case_close ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
