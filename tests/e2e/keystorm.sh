#!/bin/bash
# A key storm: every key of the race held and released at random in BURSTS bursts of forty
# (16 unless set, about half a minute), drawn from SEED (20 unless set). The storm may pause the
# game, quit races and, on the title, quit the game itself, which must then end with status 0;
# it is started again and the storm goes on. Afterwards no key is stuck: the game still starts,
# pauses and quits a race on command and ends with status 0 on close.
#   keystorm.sh GAME XCLOSE ASSETS CASE
# CASE: race-keys
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

KEYS=(Up Down Left Right Control_L Alt_L Return Tab)

# Lets go of every key. The X server keeps a key down until it is let go, whether or not the
# game is there to see it, and a game started meanwhile would miss the next press of that key.
release_all() { key_up "${KEYS[@]}"; }

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

# The title, a race or the pause screen, as screenshot "state".
shows_a_screen() { shows state is_title || is_race state || is_pause state; }

case_race_keys() {
    start_xvfb
    use_assets
    start_to_title title
    hold_until Return 10 shows race is_race

    # The same seed makes the same storm: SEED=N replays a failed run.
    local seed=${SEED:-20} bursts=${BURSTS:-16} restarts=0 actions=0
    RANDOM=$seed
    log "storm of $bursts bursts, seed $seed (SEED=$seed replays it)"
    local -A held=()
    local burst chain k i
    for ((burst = 0; burst < bursts; burst++)); do
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
            chain+=(sleep "0.0$((RANDOM % 10))") # the storm's own rhythm
        done
        xdotool "${chain[@]}" 2>/dev/null
        actions=$((actions + 40))
    done
    release_all
    log "$actions presses and releases, the game quit $restarts times from its title"
    running || restart_after_quit

    # Back to the title from wherever the storm left the game, then a fresh race, which the
    # enemies cannot end before the commands below are through. A game started again just now
    # shows its title only once it has loaded.
    wait_for 20 shows_a_screen
    if is_race state; then
        hold_until Return 10 shows state is_pause
    fi
    if is_pause state; then
        hold_until Tab 10 shows state is_title
    fi
    check "the game is back on its title" is_title state
    hold_until Return 10 shows race-fresh is_race
    hold_until Return 10 shows pause is_pause
    hold_until Tab 10 shows title-after is_title
    close_and_expect_clean_exit
}

case ${4:-} in
race-keys) case_race_keys ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
