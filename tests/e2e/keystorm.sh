#!/bin/bash
# A key storm: every key of the race held and released at random for STORM seconds (30 unless
# set). The storm may pause the game, quit races and, on the title, quit the game itself, which
# must then end with status 0; it is started again and the storm goes on. Afterwards no key is
# stuck: the game still starts, pauses, resumes and quits a race on command and ends with status
# 0 on close.
#   keystorm.sh GAME XCLOSE ASSETS CASE
# CASE: race-keys
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

KEYS=(Up Down Left Right Control_L Alt_L Return Tab)

# Lets go of every key. The X server keeps a key down until it is let go, whether or not the
# game is there to see it, and a game started meanwhile would miss the next press of that key.
release_all() { xdotool keyup "${KEYS[@]}" 2>/dev/null; }

# An end during the storm is the player quitting from the title: orderly, with nothing
# reported. Starts the game again.
restart_after_quit() {
    release_all
    wait_exit 5
    check "the game quit during the storm with status 0 (was $STATUS)" test "$STATUS" -eq 0
    check "nothing was reported (got '$(cat "$MESSAGES")')" test ! -s "$MESSAGES"
    start_game
    find_window
}

case_race_keys() {
    start_xvfb
    use_assets
    start_to_title title
    press Return
    wait_for 10 race is_race race

    local seed=${SEED:-$(date +%s)} storm=${STORM:-30} restarts=0 actions=0
    RANDOM=$seed
    log "storm of $storm s, seed $seed"
    local -A held=()
    local end=$((SECONDS + storm)) chain k i
    while ((SECONDS < end)); do
        if ! running; then
            restart_after_quit
            held=()
            restarts=$((restarts + 1))
        fi
        # Forty presses and releases at a time, 0 to 90 ms apart.
        chain=(windowfocus "$WIN")
        for ((i = 0; i < 40; i++)); do
            k=${KEYS[RANDOM % ${#KEYS[@]}]}
            if [ -n "${held[$k]:-}" ]; then
                chain+=(keyup "$k")
                unset "held[$k]"
            else
                chain+=(keydown "$k")
                held[$k]=1
            fi
            chain+=(sleep "0.0$((RANDOM % 10))")
        done
        xdotool "${chain[@]}" 2>/dev/null
        actions=$((actions + 40))
    done
    release_all
    log "$actions presses and releases, the game quit $restarts times from its title"
    running || restart_after_quit

    # Back to the title from wherever the storm left the game, then a fresh race, which the
    # enemies cannot end before the commands below are through.
    local tries
    for ((tries = 0; tries < 10; tries++)); do
        sleep 0.5
        shot state
        is_title state && break
        if is_pause state; then
            press Tab
        elif is_race state; then
            press Return
        fi
    done
    check "the game is back on its title" is_title state
    press Return
    wait_for 10 race-fresh is_race race-fresh
    press Return
    wait_for 10 pause is_pause pause
    press Return
    wait_for 10 race-again is_race race-again
    press Return
    wait_for 10 pause-again is_pause pause-again
    press Tab
    wait_for 10 title-after is_title title-after
    close_and_expect_clean_exit
}

case ${4:-} in
race-keys) case_race_keys ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
