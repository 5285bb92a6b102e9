#!/bin/bash
# A race from the title screen and back: the race screen, the pause screen, quitting, the close
# button, a race lost to the enemies, and the result that each leaves in "highscore.sav".
#   race.sh GAME XCLOSE ASSETS CASE
# CASE: pause-and-quit | close | damage
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

# The left column of the day's dot on the pause screen's line (y = 100) in screenshot NAME.
dot_left() { # dot_left NAME
    awk 'NR > 100 * 320 && NR <= 101 * 320 && !($1 == 0 && $2 == 0 && $3 == 0) {
        print (NR - 1) % 320; exit }' "$SHOTS/$1.px"
}

# The result in "highscore.sav" is a race clock reached: hours 2, minutes from 30 (the start)
# up. Prints the race minutes past 2:30.
saved_minutes() {
    check "highscore.sav is there after the race" test -f "$RUN/highscore.sav"
    check "highscore.sav is 8 bytes" test "$(size_of "$RUN/highscore.sav")" -eq 8
    local hours minutes
    read -r hours minutes <<<"$(read_highscore)"
    log "saved result: $hours:$minutes"
    check "the result is at least 2:30 and before $END_HOUR:00 (was $hours:$minutes)" \
        test "$hours" -ge 2 -a "$hours" -lt "$END_HOUR" -a "$minutes" -ge 0 -a "$minutes" -lt 60 -a \
        $((hours * 60 + minutes)) -ge 150
    SAVED=$((hours * 60 + minutes - 150))
}

# Title, race, pause (which blinks), resume, pause again, quit with TAB; back on the title,
# which shows the saved result. The race clock is compared with itself, never with the wall
# clock, which a busy machine stretches: it stands still while paused and goes on in between.
case_pause_and_quit() {
    start_xvfb
    use_assets
    start_to_title title-before

    hold_until Return 10 shows race is_race
    check "the car starts at the left edge, half-way down" car_at_start race
    hold_until Return 10 shows pause is_pause
    check "the paused race is not drawn" test "$(count pause 0 191 319 191 0 0 0 0)" -lt 20
    # 2:30 is 10 % of the day (the percentage counts from 0:00): the dot, 9 pixels across, is
    # centred on x = 33, and moves on by a column every four and a half race minutes, which a
    # busy machine may let pass before the pause.
    local left
    left=$(dot_left pause)
    check "the day's progress shows as a dot at x = 33 or a little after (left edge $left)" \
        test "$left" -ge 29 -a "$left" -le 31 -a "$(count pause "$left" 100 $((left + 8)) 100 0 0 0 0)" -eq 0
    # "-PAUSE-" shows for 32 redraws and hides for 31, about a second each, which a busy
    # machine's slow screenshots may miss once or twice. Shown, hidden and shown again is a
    # second and more of pause, in which a running clock would have moved on.
    wait_for 10 shows pause-word-shown pause_word_shown
    wait_for 10 shows pause-word-hidden pause_word_hidden
    wait_for 10 shows pause-later pause_word_shown
    log "ok: \"-PAUSE-\" blinks"
    check "the clock stands still while paused" test "$(differ pause pause-later 80 130 239 137)" -eq 0
    hold_until Return 10 shows race-again is_race
    race_minutes 2 race-again
    hold_until Return 10 shows pause-again is_pause
    check "the clock went on while racing" test "$(differ pause pause-again 80 130 239 137)" -gt 0
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

# Left alone, the car is worn down by the enemies and the race ends by itself, well before
# 24:00; the title then shows the saved result.
case_damage() {
    start_xvfb
    use_assets
    start_to_title title-before
    hold_until Return 10 shows race is_race
    # The health bar, 160 pixels long at the start, shrinks from the right.
    hurt() { is_race "$1" && [ "$(count "$1" 1 195 160 195 206 206 206 6)" -lt 150 ]; }
    wait_for 120 shows race-hurt hurt
    log "ok: the health bar shrinks"
    wait_for 240 shows title-after is_title
    # shellcheck disable=SC2086
    check "the title shows the new best result" test "$(differ title-before title-after $TEXT_BOX)" -gt 0
    saved_minutes
    close_and_expect_clean_exit
}

case ${4:-} in
pause-and-quit) case_pause_and_quit ;;
close) case_close ;;
damage) case_damage ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
