#!/bin/bash
# What the world does to the running game: a FIFO where the best result should be, the
# signals that end a session (logging out, Ctrl+C, kill), and a stall long enough for the race
# to be lost while the game stood still.
#   process.sh GAME XCLOSE ASSETS CASE
# CASE: fifo | signals | stall
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

now() { date +%s.%N; }

# The race minutes past 2:30 that "highscore.sav" holds.
saved_minutes() {
    local hours minutes
    read -r hours minutes <<<"$(read_highscore)"
    echo $((hours * 60 + minutes - 150))
}

# A FIFO named highscore.sav: opening it to read would wait for a writer for ever, before the
# title is ever shown. The title comes, shows no best, and the FIFO is never written over.
case_fifo() {
    start_xvfb
    use_assets
    start_to_title no-best
    close_and_expect_clean_exit
    mkfifo "$RUN/highscore.sav"
    start_to_title title
    check "the title shows no best result" test "$(differ title no-best 0 0 319 199)" -eq 0
    press Return
    wait_for 10 race is_race race
    sleep 1
    close_and_expect_clean_exit
    check "highscore.sav is still the FIFO" test -p "$RUN/highscore.sav"
}

# SIGTERM in a race, SIGHUP on the pause screen and SIGINT on the title each end the game as
# the close button does: status 0, nothing reported, and a race's result saved.
case_signals() {
    start_xvfb
    use_assets
    local signal where
    for signal in TERM HUP INT; do
        rm -f "$RUN/highscore.sav"
        start_to_title "title-$signal"
        if [ "$signal" != INT ]; then
            press Return
            wait_for 10 "race-$signal" is_race "race-$signal"
            sleep 2.5
        fi
        where=race
        if [ "$signal" = HUP ]; then
            press Return
            wait_for 10 "pause-$signal" is_pause "pause-$signal"
            where="pause screen"
        fi
        [ "$signal" = INT ] && where=title
        kill -"$signal" "$GAME_PID"
        wait_exit 10
        check "SIG$signal on the $where ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
        check "nothing was reported (got '$(cat "$MESSAGES")')" test ! -s "$MESSAGES"
        check "no core was dumped" test -z "$(find "$RUN" -name 'core*')"
        if [ "$signal" = INT ]; then
            check "no race, no result" test ! -e "$RUN/highscore.sav"
        else
            check "the race's result was saved" test -f "$RUN/highscore.sav"
            local raced
            raced=$(saved_minutes)
            # At least the seconds raced; a busy machine may add a few, never an hour.
            check "it is the race's clock, 2 or more race minutes past 2:30 (was $raced)" \
                test "$raced" -ge 2 -a "$raced" -lt 60
        fi
    done
}

# The game stopped at the start of a race for longer than the race can last, then resumed. The
# car is as large as the field, so every enemy strikes it and the race is lost in well under a
# minute of race time. The ticks that came due run back to back, but none after the one that
# ended the race: its clock is the result, not the time the game stood still. The title then
# answers at once, and the next race starts at 2:30, not with the stall's ticks.
case_stall() {
    start_xvfb
    copy_assets
    convert -size 320x180 xc:magenta -fill '#204080' -draw 'rectangle 0 80 31 95' \
        -type TrueColor "$RUN/gfx/car.tga" || fail "cannot make the large car"
    start_to_title title
    press Return
    local start resumed
    start=$(now)
    wait_for 10 race is_race race
    kill -STOP "$GAME_PID"
    sleep 70
    kill -CONT "$GAME_PID"
    resumed=$(now)
    wait_for 10 title-after is_title title-after
    local stood raced
    stood=$(awk -v a="$start" -v b="$resumed" 'BEGIN { print int(b - a) }')
    raced=$(saved_minutes)
    log "the race ended at $raced race minutes past 2:30; $stood s passed meanwhile"
    check "the result is the clock where the race was lost, not the stall's end ($raced minutes in $stood s)" \
        test "$raced" -ge 1 -a "$raced" -le $((stood - 15))

    local started paused dot
    press Return
    started=$(now)
    wait_for 10 race-next is_race race-next
    press Return
    paused=$(now)
    wait_for 10 pause-next is_pause pause-next
    # The dot of the day's progress stands at x = 320 * (minutes since 0:00) / 1440.
    dot=$(awk 'NR > 32000 && NR <= 32320 && ($1 > 20 || $2 > 20 || $3 > 20) { s += (NR - 1) % 320; n++ }
        END { print n ? int(s / n) : 999 }' "$SHOTS/pause-next.px")
    raced=$(awk -v a="$started" -v b="$paused" 'BEGIN { print int(b - a + 1) }')
    check "the next race starts at 2:30 (paused after $raced s with the dot at x = $dot)" \
        test $((dot * 9 / 2)) -le $((150 + raced + 5))
    close_and_expect_clean_exit
}

case ${4:-} in
fifo) case_fifo ;;
signals) case_signals ;;
stall) case_stall ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
