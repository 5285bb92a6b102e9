#!/bin/bash
# The window's options on a desktop of today (a 1920x1080 screen): the frame enlarged by a whole
# factor, exactly, in a larger window or on the whole display; a race under XWayland; bad
# options; and a start that does not wait for a sound device that never answers.
#   window.sh GAME XCLOSE ASSETS CASE
# CASE: scale | fullscreen | xwayland | options | silent-sound
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

export XVFB_SCREEN=1920x1080x24

# The window's size, "WIDTHxHEIGHT".
window_size() {
    xwininfo -id "$WIN" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# Where the window's top left corner is on the screen, "X,Y".
window_corner() {
    xwininfo -id "$WIN" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        END { print x "," y }'
}

# Whether a screenshot of the whole window equals the picture EXPECTED.png, pixel for pixel.
shows_exactly() { # shows_exactly NAME EXPECTED
    running || fail "the game ended while waiting for $1"
    timeout 20 import -window "$WIN" "$SHOTS/$1.png" 2>>"$WORK/import.log" || return 1
    # ImageMagick 6 prints the count of differing pixels, 7 adds its share in brackets.
    local differing
    differing=$(timeout 20 compare -metric AE "$SHOTS/$1.png" "$SHOTS/$2.png" null: 2>&1)
    [ "${differing%% *}" = 0 ]
}

# The title at 320 by 200, the frame every enlarged picture is compared with.
title_at_one() {
    start_xvfb
    use_assets
    start_to_title one
    close_and_expect_clean_exit
}

# Starts the game with ARGS and expects a window of SIZE that shows EXPECTED.png.
expect_window() { # expect_window SIZE EXPECTED ARGS...
    local size=$1 expected=$2
    shift 2
    start_game "$@"
    find_window
    wait_for 20 shows_exactly "$expected-seen" "$expected"
    check "$* opens a window of $size (was $(window_size))" test "$(window_size)" = "$size"
}

# Each pixel a 3 by 3 block, and --scale auto the largest window within 80 % of the desktop:
# 4 times, 1280 by 800.
case_scale() {
    title_at_one
    convert "$SHOTS/one.png" -scale 300% "$SHOTS/three.png"
    expect_window 960x600 three --scale 3
    close_and_expect_clean_exit
    convert "$SHOTS/one.png" -scale 400% "$SHOTS/four.png"
    expect_window 1280x800 four --scale auto
    close_and_expect_clean_exit
}

# The whole display, the picture 5 times (1600 by 1000) centred on black, and the window
# manager asked for full screen. Xvfb has no window manager: the state stands as asked.
case_fullscreen() {
    title_at_one
    convert "$SHOTS/one.png" -scale 500% -background black -gravity center -extent 1920x1080 \
        "$SHOTS/full.png"
    expect_window 1920x1080 full --fullscreen
    check "the window asks for full screen" \
        sh -c "xprop -id '$WIN' _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN"
    close_and_expect_clean_exit
}

# Weston with its X11 backend in the test's Xvfb, and XWayland in Weston: DISPLAY becomes
# XWayland's. Weston's headless backend would give the game's window no keyboard focus.
start_xwayland() {
    start_xvfb
    export XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    # Ended with the test; SIGTERM lets it remove XWayland's socket and lock file.
    setpriv --pdeathsig TERM weston --backend=x11-backend.so --xwayland --use-pixman \
        --width=1280 --height=800 --socket=gravelmoth --idle-time=0 --log="$WORK/weston.log" \
        </dev/null >/dev/null 2>&1 &
    WESTON=$!
    wait_for 20 grep -q "xserver listening on display" "$WORK/weston.log"
    DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$WORK/weston.log")
    log "XWayland on $DISPLAY"
}

# Whether the game's window has the keyboard, as the window manager gives it.
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$WIN" ]; }

stop_xwayland() {
    kill "$WESTON"
    wait "$WESTON" 2>/dev/null
}

# A race played under XWayland: the keys reach the game, the race runs, pauses and
# quits back to the title, and the window closes cleanly. Then the game full screen there.
case_xwayland() {
    start_xwayland
    use_assets
    start_to_title title
    # Weston gives a new window the keys once it has shown it, a moment after it is mapped; a
    # key pressed before would go to no window at all.
    wait_for 10 focused
    # Under sid's XWayland the first key that reaches the game after its window appears is lost
    # (every run; bookworm's and trixie's pass it on): SHIFT, which no screen reads, goes first.
    press Shift_L
    hold_until Return 10 shows race is_race
    race_minutes 2 race
    hold_until Return 10 shows pause is_pause
    hold_until Tab 10 shows back is_title
    close_and_expect_clean_exit
    # Full screen on Weston's 1280 by 800 output: the title 4 times, edge to edge.
    convert "$SHOTS/back.png" -scale 400% "$SHOTS/full.png"
    expect_window 1280x800 full --fullscreen
    check "Weston shows it full screen, at the output's corner (was $(window_corner))" \
        test "$(window_corner)" = "0,0"
    close_and_expect_clean_exit
    stop_xwayland
}

# A bad option ends the game with status 2 and one line on stderr before it needs a display
# (which options are bad is the unit tests'); --help names every option, and the man page
# describes each of them.
case_options() {
    (cd "$RUN" && env -u DISPLAY "$GAME" --scale 9 >"$WORK/stdout" 2>"$WORK/stderr")
    STATUS=$?
    check "--scale 9 exits with status 2 (was $STATUS)" test "$STATUS" -eq 2
    check "--scale 9 says why in one line: $(cat "$WORK/stderr")" \
        test "$(grep -c '^gravelmoth: ' "$WORK/stderr")" -eq 1 -a "$(wc -l <"$WORK/stderr")" -eq 1
    env -u DISPLAY "$GAME" --help >"$WORK/help" || fail "--help fails"
    local option
    while read -r option; do
        check "the man page describes $option" grep -q "^\.B[I]* ${option//-/\\\\-}" \
            "$ASSETS/linux/gravelmoth.6.in"
    done < <(grep -o -- '--[a-z]*' "$WORK/help" | sort -u)
}

# ALSA's default device writes into a FIFO that no one reads: opening it never returns. The game
# still comes up, plays silently and says so.
case_silent_sound() {
    start_xvfb
    use_assets
    mkdir -p "$WORK/home"
    mkfifo "$WORK/never-read"
    printf 'pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' \
        "$WORK/never-read" >"$WORK/home/.asoundrc"
    HOME=$WORK/home start_to_title title
    check "the game says it plays without sound" grep -q "without sound" "$WORK/stderr"
    close_and_expect_clean_exit
}

case ${4:-} in
scale) case_scale ;;
fullscreen) case_fullscreen ;;
xwayland) case_xwayland ;;
options) case_options ;;
silent-sound) case_silent_sound ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
