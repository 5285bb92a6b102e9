#!/bin/bash
# What the player hears. The game runs with a HOME whose ALSA configuration sends the default
# device into a file, and the library's ALSA driver plays the whole mix there: 16-bit unsigned
# little-endian stereo at 44100 frames a second, silence at 0x8000. The file fills faster than
# real time, so each check listens to what was written between two moments.
#   sound.sh GAME XCLOSE ASSETS CASE LISTEN
# CASE: race | enemies. LISTEN is the helper that measures the file (listen.cpp).
GAME=$1 XCLOSE=$2 ASSETS=$3
LISTEN=${5:-}
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

[ -x "$LISTEN" ] || fail "no listen helper at '$LISTEN'"
MIX=$WORK/mix.raw
mkdir -p "$WORK/home"
cat >"$WORK/home/.asoundrc" <<EOF
pcm.!default { type file slave.pcm "null" file "$MIX" format "raw" }
EOF

# With a device to play on, the library's ALSA driver keeps a few bytes that it allocates in
# install_sound until the process ends. They are not the game's: under the sanitizers they are
# left out of the leak report (the full stack is needed to see that they come from there).
printf 'leak:install_sound\n' >"$WORK/leaks.supp"
export LSAN_OPTIONS="suppressions=$WORK/leaks.supp:fast_unwind_on_malloc=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# A sample is found in the mix when it accounts for at least this share of what is heard
# (normalised correlation); the engine alone scores far below.
HEARD=0.5

# Bytes written to the mix so far.
written() { if [ -f "$MIX" ]; then size_of "$MIX"; else echo 0; fi; }

# A second of the mix: 44100 frames of 4 bytes.
SECOND_BYTES=176400
# Listens from now until SECONDS of sound have been written (within ten seconds, more than
# any of these stretches takes): prints "FROM TO". The mix is measured by what it holds, not
# by the clock, which a busy machine stretches.
listen_for() { # listen_for SECONDS
    local from to
    from=$(written)
    to=$(awk -v f="$from" -v s="$1" -v b="$SECOND_BYTES" 'BEGIN { printf "%d", f + s * b }')
    wait_for 10 written_past "$to"
    echo "$from $(written)"
}
written_past() { [ "$(written)" -ge "$1" ]; }

level() { "$LISTEN" level "$MIX" "$@"; }
period() { "$LISTEN" period "$MIX" "$@"; }
find_in_mix() { "$LISTEN" find "$ASSETS/sfx/$1.wav" "$MIX" "$2" "$3"; }

# Whether the mix from START to now holds the engine, or the shot; TO is now.
engine_heard() { TO=$(written) && [ "$(level "$START" "$TO")" != silent ]; }
shot_heard() {
    TO=$(written)
    SCORE=$(find_in_mix explosion "$START" "$TO")
    awk -v s="$SCORE" -v h="$HEARD" 'BEGIN { exit !(s >= h) }'
}
# Whether a tenth of a second just played was silent.
# shellcheck disable=SC2046 # two numbers
quiet() { [ "$(level $(listen_for 0.1))" = silent ]; }

start_with_sound() {
    start_xvfb
    use_assets
    HOME=$WORK/home start_to_title title
}

# True when A is within PERCENT percent of B.
near() { awk -v a="$1" -v b="$2" -v p="$3" 'BEGIN { exit !(a >= b * (1 - p / 100) && a <= b * (1 + p / 100)) }'; }

# Whether the engine's note in the last 0.3 s of the mix is its note at SPEED: its period is
# the sample's own at speed 0, and the pitch rises by a tenth of it with each step (frequency
# 1000 + 100 x speed).
engine_at() { # engine_at SPEED
    EXPECTED=$(awk -v p="$OWN_PERIOD" -v s="$1" 'BEGIN { printf "%.2f", p * 1000 / (1000 + 100 * s) }')
    # shellcheck disable=SC2046
    NOTE=$(period $(listen_for 0.3))
    near "$NOTE" "$EXPECTED" 2
}

# Title, race, a speed step, pause, resume, shot.
case_race() {
    OWN_PERIOD=$("$LISTEN" period "$ASSETS/sfx/racecar.wav")
    [ "$OWN_PERIOD" != none ] || fail "sfx/racecar.wav has no clear note"
    start_with_sound
    local range heard

    # The wait for a second of the mix fails unless the sound system plays on the title.
    range=$(listen_for 1) || fail "the mix did not grow by a second on the title"
    log "title: bytes $range"
    # shellcheck disable=SC2086
    check "the title is silent (heard $(level $range))" test "$(level $range)" = silent

    # From the press until the engine is first heard: no mine can reach the car and no robot
    # fire so soon, however long a busy machine takes to show the race screen.
    START=$(written)
    hold_until Return 10 engine_heard
    range="$START $TO"
    # shellcheck disable=SC2086
    log "ok: the engine runs in the race (heard $(level $range) dB)"
    wait_for 10 shows race is_race
    for sound in explosion mineexplosion robotshoot; do
        # shellcheck disable=SC2086
        heard=$(find_in_mix "$sound" $range)
        check "before anything happens, sfx/$sound.wav is not in the mix (score $heard)" \
            awk -v s="$heard" -v h="$HEARD" 'BEGIN { exit !(s < h) }'
    done
    # The pitch at each speed is the unit tests'; here it is heard to follow a press.
    wait_for 10 engine_at 0
    log "ok: at rest, the engine's period is $EXPECTED frames (heard $NOTE)"
    hold_until Right 10 engine_at 1
    log "ok: one step up, the engine's period is $EXPECTED frames (heard $NOTE)"

    hold_until Return 10 shows pause is_pause
    # Whatever still rings out from before the pause ends first.
    wait_for 5 quiet
    range=$(listen_for 1)
    # shellcheck disable=SC2086
    check "the pause screen is silent (heard $(level $range))" test "$(level $range)" = silent
    hold_until Return 10 engine_at 1
    log "ok: after the pause, the engine runs at the speed it had (heard $NOTE)"

    START=$(written)
    hold_until Control_L 10 shot_heard
    log "ok: the shot is heard when fired (score $SCORE)"
    close_and_expect_clean_exit
}

# The colour of a palette character of the pictures' sources, as "R G B".
palette_color() { awk -v c="$1" '$1 == c { print $2, $3, $4 }' "$ASSETS/tools/art/palette.txt"; }

# Centre row of the pixels of screenshot NAME near colour R G B, or nothing.
centre_row() { # centre_row NAME R G B
    local box
    box=$(bbox "$@" 6)
    [ -n "$box" ] && awk -v b="$box" 'BEGIN { split(b, v, " "); print int((v[2] + v[4] + 1) / 2) }'
}

# Holds up or down until the car's centre row has moved by ROWS (2 rows a tick).
steer() { # steer ROWS
    local rows=$1 direction=Down
    [ "$rows" -lt 0 ] && direction=Up rows=$((-rows))
    xdotool windowfocus "$WIN" keydown "$direction" || fail "xdotool could not press $direction"
    # How long the key is held is the steering itself, as a player's hold is.
    sleep "$(awk -v r="$rows" 'BEGIN { printf "%.3f", r / 64 }')"
    key_up "$direction"
}

# A mine's explosion and a robot's shot, each heard when it happens. Enemies come at random:
# the car steers onto the row of every mine it sees (the only things of the mine's warning
# yellow) so that it strikes, and every robot (the only things with its cyan visor) fires
# within six seconds of coming down (twelve are allowed to a loaded machine).
case_enemies() {
    local mine robot car
    mine=$(palette_color W)
    robot=$(palette_color e)
    car=$(palette_color b)
    if [ -z "$mine" ] || [ -z "$robot" ] || [ -z "$car" ]; then
        fail "colours missing from the palette"
    fi
    start_with_sound
    hold_until Return 10 shows race is_race

    # A window of 60000 bytes is kept from one look to the next, more than the quarter second of
    # each sample that the helper looks for, so no sound is cut in two.
    local from to score deadline now robotSeen='' mineHeard='' robotHeard='' row carRow
    from=$(written)
    deadline=$(($(date +%s) + 150))
    while [ -z "$mineHeard" ] || [ -z "$robotHeard" ]; do
        now=$(date +%s)
        [ "$now" -lt "$deadline" ] || fail "not both heard within 150 s (mine: ${mineHeard:-no}, robot: ${robotHeard:-no})"
        running || fail "the game ended during the race"
        shot field
        is_race field ||
            fail "the race ended before both were heard (mine: ${mineHeard:-no}, robot: ${robotHeard:-no})"
        # shellcheck disable=SC2086
        if [ -z "$robotSeen" ] && [ -n "$(bbox field $robot 6)" ]; then
            robotSeen=$now
            log "a robot is on screen"
        fi
        # shellcheck disable=SC2086
        row=$(centre_row field $mine)
        # shellcheck disable=SC2086
        carRow=$(centre_row field $car)
        if [ -z "$mineHeard" ] && [ -n "$row" ] && [ -n "$carRow" ]; then
            log "a mine at row $row, the car at row $carRow"
            steer $((row - carRow))
        fi
        wait_for 10 written_past $((from + SECOND_BYTES / 5))
        to=$(written)
        if [ -z "$mineHeard" ]; then
            score=$(find_in_mix mineexplosion $((from > 60000 ? from - 60000 : 0)) "$to")
            awk -v s="$score" -v h="$HEARD" 'BEGIN { exit !(s >= h) }' && mineHeard=$score &&
                log "ok: a mine's explosion is heard (score $score)"
        fi
        if [ -z "$robotHeard" ]; then
            score=$(find_in_mix robotshoot $((from > 60000 ? from - 60000 : 0)) "$to")
            awk -v s="$score" -v h="$HEARD" 'BEGIN { exit !(s >= h) }' && robotHeard=$score &&
                log "ok: a robot's shot is heard (score $score)"
            [ -z "$robotHeard" ] && [ -n "$robotSeen" ] && [ $((now - robotSeen)) -gt 12 ] &&
                fail "a robot came down at $(date -d "@$robotSeen" +%T) but no shot of it was heard"
        fi
        from=$to
    done
    close_and_expect_clean_exit
}

case ${4:-} in
race) case_race ;;
enemies) case_enemies ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
