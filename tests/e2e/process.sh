#!/bin/bash
# What the world does to the running game: the signals that end a session (logging out,
# Ctrl+C, kill), also in the game's first moments, stops of half an hour and more, stops on the
# title and the pause screen, and the X server going away.
#   process.sh GAME XCLOSE ASSETS CASE [CLOCKJUMP]
# CASE: signals | early-signals | long-stop | stop-at-title | stop-at-pause | lost-display
# CLOCKJUMP: the preloadable library that moves the game's monotonic clock on at SIGUSR1.
GAME=$1 XCLOSE=$2 ASSETS=$3 CLOCKJUMP=${5:-}
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

now() { date +%s.%N; }

# SIGTERM in a race, SIGHUP on the pause screen and SIGINT on the title each end the game as
# the close button does: status 0, nothing reported, and a race's result saved.
case_signals() {
    start_xvfb
    use_assets
    local signal where
    for signal in TERM HUP INT; do
        rm -f "$HIGHSCORE"
        start_to_title "title-$signal"
        if [ "$signal" != INT ]; then
            hold_until Return 10 shows "race-$signal" is_race
            race_minutes 2 "race-$signal"
        fi
        where=race
        if [ "$signal" = HUP ]; then
            hold_until Return 10 shows "pause-$signal" is_pause
            where="pause screen"
        fi
        [ "$signal" = INT ] && where=title
        kill -"$signal" "$GAME_PID"
        wait_exit 10
        check "SIG$signal on the $where ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
        check "nothing was reported (got '$(cat "$MESSAGES")')" test ! -s "$MESSAGES"
        if [ "$signal" = INT ]; then
            check "no race, no result" test ! -e "$HIGHSCORE"
        else
            saved_minutes
            # At least the seconds raced; a busy machine may add a few, never an hour.
            check "it is the race's clock, 2 or more race minutes past 2:30 (was $SAVED)" \
                test "$SAVED" -ge 2 -a "$SAVED" -lt 60
        fi
    done
}

# Whether the game's own code has begun to handle SIGTERM, blocking or catching it; before
# that (the dynamic loader at work on a busy machine) nothing in the game could.
handles_term() {
    local key value mask=0
    while read -r key value; do
        case $key in SigBlk: | SigCgt:) mask=$((mask | 0x$value)) ;; esac
    done <"/proc/$GAME_PID/status"
    [ $(((mask >> 14) & 1)) -eq 1 ]
}

# Waits, looking without a pause, until the game's own code handles SIGTERM.
handling_term() {
    local deadline=$((${EPOCHREALTIME/./} + 5000000))
    until handles_term 2>/dev/null; do
        running && [ "${EPOCHREALTIME/./}" -lt "$deadline" ] || return 1
    done
}

# Waits until the shell that start_game forks has become the game; a signal before that is the
# shell's.
started_game() {
    local deadline=$((${EPOCHREALTIME/./} + 5000000))
    until [[ /proc/$GAME_PID/exe -ef $GAME ]]; do
        [ "${EPOCHREALTIME/./}" -lt "$deadline" ] || return 1
    done
}

# A signal that ends the session may come at any moment of the start-up, while the library
# connects to the X server: the game ends cleanly all the same, never by the signal itself (a
# death by a signal, with a core or not, is no status 0). The moments are counted from the first
# moment the game's own code handles the signal: before that, on a busy machine or in the
# sanitized build, the dynamic loader may take longer than the whole start-up that follows.
case_early_signals() {
    start_xvfb
    use_assets
    local run delay failed=0 statuses=
    for ((run = 0; run < 30; run++)); do
        delay=$(awk -v r="$run" 'BEGIN { printf "%.3f", r / 1000 }')
        start_game
        started_game || fail "the game was not started within 5 seconds"
        handling_term || fail "the game's code did not take SIGTERM in hand within 5 seconds"
        sleep "$delay" # the moment of the start-up the signal comes at: the test itself
        kill -TERM "$GAME_PID"
        wait_exit 10
        [ "$STATUS" -eq 0 ] || failed=$((failed + 1)) statuses="$statuses $STATUS"
    done
    check "SIGTERM 0 to 29 ms into the start-up ends the game with status 0 ($failed of $run did not:$statuses)" \
        test "$failed" -eq 0
}

# Starts the game with its monotonic clock in the test's hand: each jump moves it on by
# CLOCKJUMP_SECONDS, as a stop that long would, in a moment. The library is preloaded into the
# game alone, through a wrapper that becomes the game; the sanitizers' runtime, which wants to
# come first, is told that it need not.
start_jumpable() { # start_jumpable NAME
    [ -f "$CLOCKJUMP" ] || fail "no clock-jumping library at '$CLOCKJUMP'"
    export CLOCKJUMP REAL_GAME=$GAME
    GAME=$WORK/jumpable-game
    cat >"$GAME" <<'EOF'
#!/bin/sh
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 LD_PRELOAD=$CLOCKJUMP \
    exec "$REAL_GAME"
EOF
    chmod +x "$GAME"
    start_to_title "$1"
    GAME=$REAL_GAME
}

# Whether the game has taken the signal that arms the clock jump (SIGUSR1 pending no more),
# and whether it is stopped.
usr1_taken() { ! grep -Eq '^(SigPnd|ShdPnd):.*[2367abef]..$' "/proc/$GAME_PID/status"; }
stopped() { [ "$(awk '{ print $3 }' "/proc/$GAME_PID/stat")" = T ]; }

# Stops the game for a moment that it takes for CLOCKJUMP_SECONDS; CMD... runs while it stands.
# The jump needs the clock unread for a fifth of a second, so the stop lasts a little longer.
stop_for_long() { # stop_for_long [CMD...]
    kill -USR1 "$GAME_PID"
    wait_for 5 usr1_taken
    kill -STOP "$GAME_PID"
    wait_for 5 stopped
    [ $# -eq 0 ] || "$@"
    sleep 0.3 # the stop's own length: the test itself
    kill -CONT "$GAME_PID"
}

# The clock from a moment to another, in whole seconds, rounded up.
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { s = b - a; print (s == int(s)) ? s : int(s) + 1 }'; }

# A stop of half an hour or more, the clock moved on by 1,810 s: the library's timer then
# delivers no tick for as long again. The close button still ends the title at once, and in a
# race the ticks resume within seconds: the race catches up and is lost, and the next one runs.
case_long_stop() {
    start_xvfb
    use_assets
    export CLOCKJUMP_SECONDS=1810
    start_jumpable title
    stop_for_long
    close_window
    # Sooner than the ticks come again (4 s): the title itself watches the close request.
    wait_exit 3
    check "the close button ends the title after a long stop at once (status $STATUS)" test "$STATUS" -eq 0

    start_jumpable title-again
    hold_until Return 10 shows race is_race
    stop_for_long
    # Half an hour of race ticks caught up, which takes a busy machine a while: the race is
    # lost, or over at the day's end.
    wait_for 60 shows title-after is_title
    saved_minutes
    check "the race caught up the stop and was lost ($SAVED race minutes past 2:30)" \
        test "$SAVED" -ge 30
    hold_until Return 10 shows race-next is_race
    race_minutes 1 race-next
    log "ok: the next race runs"
    kill -TERM "$GAME_PID"
    wait_exit 10
    check "SIGTERM then ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
}

# The day's dot on the pause screen NAME: x = 320 * (minutes since 0:00) / 1440.
pause_dot() {
    awk 'NR > 32000 && NR <= 32320 && ($1 > 20 || $2 > 20 || $3 > 20) { s += (NR - 1) % 320; n++ }
        END { print n ? int(s / n) : 999 }' "$SHOTS/$1.px"
}

# ENTER goes down while the game stands still, for 40 s as the game sees it (40 race minutes),
# and is held as it goes on.
press_enter() { xdotool windowfocus "$WIN" keydown Return || fail "xdotool could not press Return"; }
stop_holding_enter() {
    stop_for_long press_enter
    wait_for 10 shows race is_race
    key_up Return
}

# The race that ENTER started at STARTED: paused at once, it must show the clock
# of the seconds it ran, not the stop's 40 minutes.
expect_race_ran_only_itself() { # expect_race_ran_only_itself STARTED
    local paused dot raced
    paused=$(now)
    hold_until Return 10 shows pause-after is_pause
    dot=$(pause_dot pause-after)
    raced=$(seconds_between "$1" "$paused")
    check "the race counts only its own time ($raced s, the dot at x = $dot)" \
        test $((dot * 9 / 2)) -le $((150 + raced + 5))
}

# A stop on the title with ENTER held: the race starts at 2:30, not 40 minutes on. Which of the
# key and the stop's ticks reaches the game first is the unit tests' to hold; this is the real
# process, stopped and held.
case_stop_at_title() {
    start_xvfb
    use_assets
    export CLOCKJUMP_SECONDS=40
    start_jumpable title
    local started
    started=$(now)
    stop_holding_enter
    expect_race_ran_only_itself "$started"
    close_and_expect_clean_exit
}

# A stop on the pause screen with ENTER held: the race resumes where it was paused.
case_stop_at_pause() {
    start_xvfb
    use_assets
    export CLOCKJUMP_SECONDS=40
    start_jumpable title
    local started
    started=$(now)
    hold_until Return 10 shows race-before is_race
    hold_until Return 10 shows pause is_pause
    stop_holding_enter
    expect_race_ran_only_itself "$started"
    close_and_expect_clean_exit
}

# The X server goes away in the middle of a race: the game ends as the close button ends it,
# its result offered to the best, with status 0 (never a death by a signal).
case_lost_display() {
    start_xvfb
    use_assets
    start_to_title title
    hold_until Return 10 shows race is_race
    race_minutes 2 race
    local server
    read -r _ server <"$XVFB"
    kill -KILL "$server"
    wait_exit 10
    check "losing the display ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
    saved_minutes
    check "it is the race's clock, 2 or more race minutes past 2:30 (was $SAVED)" \
        test "$SAVED" -ge 2 -a "$SAVED" -lt 60
}

case ${4:-} in
signals) case_signals ;;
early-signals) case_early_signals ;;
long-stop) case_long_stop ;;
stop-at-title) case_stop_at_title ;;
stop-at-pause) case_stop_at_pause ;;
lost-display) case_lost_display ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
