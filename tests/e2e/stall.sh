#!/bin/bash
# A stalled machine: the game stopped (SIGSTOP) for a few seconds in the middle of a race and
# then resumed. The ticks that came due meanwhile run back to back, so the race clock jumps on
# by about the time stood still, and the window still answers the keys.
#   stall.sh GAME XCLOSE ASSETS CASE
# CASE: stop-and-resume
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

now() { date +%s.%N; }
rounded() { awk -v s="$1" 'BEGIN { print int(s + 0.5) }'; }

case_stop_and_resume() {
    start_xvfb
    use_assets
    start_to_title title
    local start stopped resumed paused
    start=$(now)
    hold_until Return 10 shows race is_race
    race_minutes 2 race
    kill -STOP "$GAME_PID"
    stopped=$(now)
    # The stop itself is what is tested: three seconds, more than the clock may be off by.
    sleep 3
    shot frozen
    kill -CONT "$GAME_PID"
    resumed=$(now)
    moved_on() { is_race "$1" && [ "$(differ frozen "$1" 0 0 319 199)" -gt 0 ]; }
    wait_for 5 shows going-on moved_on
    log "ok: the race goes on after $(rounded "$(awk -v a="$resumed" -v b="$(now)" 'BEGIN { print b - a }')") s"
    paused=$(now)
    hold_until Return 10 shows pause is_pause
    hold_until Tab 10 shows title-after is_title

    local hours minutes raced still
    read -r hours minutes <<<"$(read_highscore)"
    raced=$(rounded "$(awk -v a="$start" -v b="$paused" 'BEGIN { print b - a }')")
    still=$(rounded "$(awk -v a="$stopped" -v b="$resumed" 'BEGIN { print b - a }')")
    log "saved $hours:$minutes after about $raced s from the start, $still s of them stopped"
    local clock=$((hours * 60 + minutes - 150))
    # A race minute a second, the stopped seconds included: had the game dropped the ticks
    # that came due while it stood still, the clock would be $still minutes short.
    check "the race clock counts the stopped time too ($clock race minutes in $raced s)" \
        test "$clock" -ge $((raced - 2)) -a "$clock" -le $((raced + 1)) -a "$clock" -gt $((still + 1))
    close_and_expect_clean_exit
}

case ${4:-} in
stop-and-resume) case_stop_and_resume ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
