# shellcheck shell=bash
# Shared by the end-to-end tests: runs the real game in its own X server and drives it like a
# player. Source it from bash after setting
#   GAME    the game binary
#   XCLOSE  the xclose helper (sends the close request of the window's close button)
#   ASSETS  the folder that holds the game's gfx/ and sfx/ (the repository)
# Every wait is bounded, and the game and the X server are always stopped on exit.

set -u

export MAGICK_THREAD_LIMIT=1

TESTS=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The game's window title, as src/main.h names it.
TITLE=$(sed -n 's/^.*windowTitle\[\] = "\(.*\)";$/\1/p' "$TESTS/../src/main.h")
: "${TITLE:?no windowTitle in src/main.h}"
# The hour at which a race ends at the latest, as src/game.h names it.
END_HOUR=$(sed -n 's/^const int raceEndHour = \([0-9]*\);$/\1/p' "$TESTS/../src/game.h")
: "${END_HOUR:?no raceEndHour in src/game.h}"
# shellcheck source=SCRIPTDIR/../xvfb.sh
. "$TESTS/xvfb.sh"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/gravelmoth-e2e.XXXXXX")
RUN=$WORK/run          # the game's working folder
HIGHSCORE=$RUN/highscore.sav # where the game keeps its best result
SHOTS=$WORK/shots      # screenshots, kept with E2E_KEEP=1
MESSAGES=$WORK/messages # the texts of the game's message boxes, one call after another
mkdir -p "$RUN" "$SHOTS"
: >"$MESSAGES"

XVFB=
GAME_PID=
WIN=
STATUS=
WATCHDOG=

# How long a key stays down in a press, and up after it: the game reads the keys once a tick
# (32 a second), so this is several ticks, room for a busy machine. The pause after a release
# lets the game see the key up before the next press of it, which it would otherwise take for
# the same press held on; it is the key-up itself, as a player's finger lifts, not a wait for
# something the game does.
KEY_HOLD=0.12
KEY_GAP=0.25

# The game shows its error reports with xmessage, which would wait for a click: the stand-in in
# tests/bin records each text in $MESSAGES and returns at once.
export GRAVELMOTH_MESSAGES=$MESSAGES

cleanup() {
    [ -z "$WATCHDOG" ] || kill -KILL "$WATCHDOG" 2>/dev/null
    if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then
        kill -KILL "$GAME_PID" 2>/dev/null
        wait "$GAME_PID" 2>/dev/null
    fi
    [ -z "$XVFB" ] || xvfb_stop "$XVFB"
    # Nothing stays behind, also after a failure, unless E2E_KEEP asks to inspect it.
    if [ -z "${E2E_KEEP:-}" ]; then
        rm -rf "$WORK"
    else
        echo "kept for inspection: $WORK"
    fi
}
trap cleanup EXIT
trap 'fail "stopped by a signal"' INT HUP
trap 'fail "out of time: $E2E_SECONDS s"' TERM

log() { printf '[%s] %s\n' "$(date +%T)" "$*"; }

fail() {
    trap - INT HUP TERM
    echo "FAIL: $*" >&2
    if [ -s "$WORK/stderr" ]; then
        echo "--- the game's stderr:" >&2
        grep -v '^ALSA lib' "$WORK/stderr" >&2
    fi
    exit 1
}

check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    "$@" || fail "$what"
    log "ok: $what"
}

# The test's own time limit, E2E_SECONDS (CTest's TIMEOUT, passed on), less a margin for the
# slowest single step and the cleanup: the test then fails by itself and removes what it made,
# rather than being killed with its server and folders left behind. Should the test be killed
# all the same, the guard removes the scratch folder.
E2E_SECONDS=${E2E_SECONDS:-300}
WATCHDOG_SECONDS=$((E2E_SECONDS > 30 ? E2E_SECONDS - 15 : E2E_SECONDS * 2 / 3))
# shellcheck disable=SC2016 # expanded by the watchdog's shell
setpriv --pdeathsig KILL bash -c 'setpriv --pdeathsig KILL sleep "$1" && kill -TERM "$2"' \
    watchdog "$WATCHDOG_SECONDS" $$ &
WATCHDOG=$!
disown "$WATCHDOG" # its end is no news
[ -n "${E2E_KEEP:-}" ] || guard_folder $$ "$WORK"

# Waits at most SECONDS for COMMAND to succeed, trying it every twentieth of a second; fails
# the test when it does not. poll is the same, false instead of failing.
wait_for() { poll "$@" || fail "waited in vain for: ${*:2}"; } # wait_for SECONDS COMMAND...
poll() { # poll SECONDS COMMAND...
    local limit=$((${EPOCHREALTIME/./} + ${1%.*} * 1000000))
    shift
    until "$@"; do
        [ "${EPOCHREALTIME/./}" -lt "$limit" ] || return 1
        sleep 0.05
    done
}

# Takes screenshot NAME and asks PREDICATE about it: the condition a screen wait waits for.
shows() { # shows NAME PREDICATE
    running || fail "the game ended while waiting for $1"
    try_shot "$1" && "$2" "$1"
}

# Starts an X server of our own on a free display, so tests can run side by side.
start_xvfb() {
    XVFB=$WORK/xvfb
    xvfb_start "$XVFB" || fail "Xvfb did not start"
    local display
    read -r display _ <"$XVFB"
    export DISPLAY=$display
}

# The game reads gfx/ and sfx/ from its working folder: links to the real ones.
use_assets() {
    local dir
    for dir in gfx sfx; do
        [ -d "$ASSETS/$dir" ] || fail "no $dir/ in $ASSETS"
        ln -s "$ASSETS/$dir" "$RUN/$dir" || fail "cannot place $dir/"
    done
}

# The game is a child of the test and is killed when the test ends, whatever ends it. ARGS
# are the game's options.
start_game() { # start_game [ARGS...]
    [ -x "$GAME" ] || fail "no game binary at $GAME"
    (cd "$RUN" && PATH=$TESTS/bin:$PATH exec setpriv --pdeathsig KILL "$GAME" "$@" \
        >"$WORK/stdout" 2>"$WORK/stderr") &
    GAME_PID=$!
}

# Finds the game's window by its title, waiting for it at most 20 seconds.
window_found() {
    running || fail "the game ended before its window \"$TITLE\" appeared"
    WIN=$(xdotool search --limit 1 --name "^$TITLE\$" 2>/dev/null | head -n 1)
    [ -n "$WIN" ]
}
find_window() { wait_for 20 window_found; }

running() { kill -0 "$GAME_PID" 2>/dev/null; }
ended() { ! running; }

# Waits at most SECONDS for the game to end and puts its exit status in STATUS.
wait_exit() {
    wait_for "$1" ended
    wait "$GAME_PID"
    STATUS=$?
    GAME_PID=
}

# A press as a player makes it: the key goes down, stays down, comes up.
press() {
    xdotool windowfocus "$WIN" keydown "$1" || fail "xdotool could not press $1"
    sleep "$KEY_HOLD" # the press's length, the input itself
    key_up "$1"
}

# Lets KEY go, and keeps it up long enough for the game to see that before it is pressed again.
key_up() { # key_up KEY...
    xdotool keyup "$@" || fail "xdotool could not release $*"
    sleep "$KEY_GAP" # the key-up's length, the input itself
}

# Holds KEY down until COMMAND succeeds, within SECONDS, then lets it go: a press that waits
# for what it causes. The game counts a press once however long it is held, so a machine too
# busy to look at the keys for a while only makes the press longer. A press that brings nothing
# is a failure that names it: it is never made again.
hold_until() { # hold_until KEY SECONDS COMMAND...
    local key=$1 seconds=$2
    shift 2
    xdotool windowfocus "$WIN" keydown "$key" || fail "xdotool could not press $key"
    poll "$seconds" "$@" || fail "the game did not see the press of $key: no $* within $seconds s"
    key_up "$key"
}

# The window's close button.
close_window() { "$XCLOSE" "$WIN" || fail "the close request could not be sent"; }

# Takes a screenshot of the window as $SHOTS/NAME.png, plus one line "R G B" per pixel in
# $SHOTS/NAME.px for the pixel checks below.
shot() { try_shot "$1" || fail "no screenshot $1 of 320x200"; }
# The same, false when there is no such window (any more) to take.
try_shot() { # try_shot NAME
    local name=$1
    timeout 10 import -window "$WIN" "$SHOTS/$name.png" 2>>"$WORK/import.log" || return 1
    timeout 10 convert "$SHOTS/$name.png" -depth 8 rgb:- | od -An -v -tu1 -w3 >"$SHOTS/$name.px" ||
        return 1
    [ "$(wc -l <"$SHOTS/$name.px")" -eq 64000 ]
}

# Counts the pixels of screenshot NAME in the rectangle X0 Y0 X1 Y1 (inclusive) whose colour is
# within TOLERANCE of R G B in every channel. The game draws at 16 bits, so a colour reaches the
# 24-bit screenshot a few steps off: (49, 49, 49) shows as (49, 48, 49).
count() { # count NAME X0 Y0 X1 Y1 R G B [TOLERANCE]
    awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" -v r="$6" -v g="$7" -v b="$8" -v t="${9:-8}" '
        function near(a, b) { return a - b <= t && b - a <= t }
        { x = (NR - 1) % 320; y = int((NR - 1) / 320) }
        x >= x0 && x <= x1 && y >= y0 && y <= y1 && near($1, r) && near($2, g) && near($3, b) { n++ }
        END { print n + 0 }' "$SHOTS/$1.px"
}

# Counts the pixels in the rectangle X0 Y0 X1 Y1 that differ between screenshots A and B.
differ() { # differ A B X0 Y0 X1 Y1
    paste -d ' ' "$SHOTS/$1.px" "$SHOTS/$2.px" |
        awk -v x0="$3" -v y0="$4" -v x1="$5" -v y1="$6" '
        { x = (NR - 1) % 320; y = int((NR - 1) / 320) }
        x >= x0 && x <= x1 && y >= y0 && y <= y1 && ($1 != $4 || $2 != $5 || $3 != $6) { n++ }
        END { print n + 0 }'
}

# Prints the hours and minutes held in "highscore.sav".
read_highscore() { od -An -v -td4 --endian=little "$HIGHSCORE" | tr -s ' \n' '  ' | sed 's/^ //;s/ $//'; }

# Checks that "highscore.sav" holds a race's result as the game stores it, 8 bytes of a race
# clock from 2:30 (the start) to $END_HOUR:00, and puts the race minutes past 2:30 in SAVED.
saved_minutes() {
    local hours minutes
    check "the race's result was saved" test -f "$HIGHSCORE"
    check "highscore.sav is 8 bytes" test "$(size_of "$HIGHSCORE")" -eq 8
    read -r hours minutes <<<"$(read_highscore)"
    log "saved result: $hours:$minutes"
    check "the result is a race clock from 2:30 to $END_HOUR:00 (was $hours:$minutes)" \
        test "$minutes" -ge 0 -a "$minutes" -lt 60 -a $((hours * 60 + minutes)) -ge 150 -a \
        $((hours * 60 + minutes)) -le $((END_HOUR * 60))
    # shellcheck disable=SC2034 # for the scripts that source this
    SAVED=$((hours * 60 + minutes - 150))
}

size_of() { wc -c <"$1" | tr -d ' '; }

# Makes a pixel list NAME.px, like a screenshot's, from a picture FILE, for comparisons.
# ImageMagick reads a TGA's rows in file order and only notes where its origin is (bottom left
# unless the header says otherwise); -auto-orient puts the rows the right way up, as the game's
# library shows them.
picture() { # picture NAME FILE
    timeout 10 convert "$2" -auto-orient -depth 8 rgb:- | od -An -v -tu1 -w3 >"$SHOTS/$1.px" ||
        fail "$2 cannot be read"
}

# Counts the pixels in the rectangle X0 Y0 X1 Y1 of screenshot A that are more than TOLERANCE
# off in some channel from picture B placed with its top-left corner at BX BY, leaving out the
# rectangle SX0 SY0 SX1 SY1 if given. Pixels that are magenta in B (the mask colour, drawn
# transparent) are skipped.
mismatches() { # mismatches A B BX BY BW X0 Y0 X1 Y1 [TOLERANCE [SX0 SY0 SX1 SY1]]
    awk -v bx="$3" -v by="$4" -v bw="$5" -v x0="$6" -v y0="$7" -v x1="$8" -v y1="$9" \
        -v t="${10:-8}" -v sx0="${11:--1}" -v sy0="${12:--1}" -v sx1="${13:--1}" -v sy1="${14:--1}" '
        function off(a, b) { return a - b > t || b - a > t }
        FNR == NR { pic[NR - 1] = $0; next }
        {
            x = (FNR - 1) % 320; y = int((FNR - 1) / 320)
            if (x < x0 || x > x1 || y < y0 || y > y1) next
            if (x >= sx0 && x <= sx1 && y >= sy0 && y <= sy1) next
            i = (y - by) * bw + (x - bx)
            if (x - bx < 0 || x - bx >= bw || !(i in pic)) next
            split(pic[i], p, " ")
            if (p[1] == 255 && p[2] == 0 && p[3] == 255) next
            if (off($1, p[1]) || off($2, p[2]) || off($3, p[3])) n++
        }
        END { print n + 0 }' "$SHOTS/$2.px" "$SHOTS/$1.px"
}

# Prints the bounding box "X0 Y0 X1 Y1" of the pixels of screenshot NAME near colour R G B,
# or nothing when there are none.
bbox() { # bbox NAME R G B [TOLERANCE]
    awk -v r="$2" -v g="$3" -v b="$4" -v t="${5:-8}" '
        function near(a, b) { return a - b <= t && b - a <= t }
        near($1, r) && near($2, g) && near($3, b) {
            x = (NR - 1) % 320; y = int((NR - 1) / 320)
            if (!n++) { x0 = x1 = x; y0 = y1 = y }
            if (x < x0) x0 = x; if (x > x1) x1 = x
            if (y < y0) y0 = y; if (y > y1) y1 = y
        }
        END { if (n) print x0, y0, x1, y1 }' "$SHOTS/$1.px"
}

# The title screen: the title picture, with the best result printed on it at the spot the game
# names in src/layout.h: "%2i:%2i", 5 characters of 8 pixels centred on BEST_X, top on BEST_Y,
# in the box TEXT_BOX (244..283 by 175..182).
layout_number() { sed -n "s/^const int $1 = \([0-9]*\);/\1/p" "$TESTS/../src/layout.h"; }
BEST_X=$(layout_number bestResultX)
BEST_Y=$(layout_number bestResultY)
if [ -z "$BEST_X" ] || [ -z "$BEST_Y" ]; then
    fail "no best result's spot in src/layout.h"
fi
TEXT_LEFT=$((BEST_X - 20))
TEXT_BOX="$TEXT_LEFT $BEST_Y $((BEST_X + 19)) $((BEST_Y + 7))"
is_title() { # is_title NAME
    [ -f "$SHOTS/title-file.px" ] || picture title-file "$ASSETS/gfx/title.tga"
    # shellcheck disable=SC2086
    [ "$(mismatches "$1" title-file 0 0 320 0 0 319 199 8 $TEXT_BOX)" -eq 0 ]
}

# Starts the game and waits for its title screen, as screenshot NAME.
start_to_title() { # start_to_title NAME [ARGS...]
    start_game "${@:2}"
    find_window
    wait_for 20 shows "$1" is_title
}

# Sends the close request and expects an orderly end with status 0.
close_and_expect_clean_exit() {
    close_window
    wait_exit 10
    check "the close button ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
    check "nothing was reported (got '$(cat "$MESSAGES")')" test ! -s "$MESSAGES"
}

# The race screen: a white field above a black status strip of 9 rows (y = 191..199) that holds
# the light grey health bar from x = 1 (y = 193..197) and the white clock at the right.
is_race() { # is_race NAME
    [ "$(count "$1" 0 191 319 191 0 0 0 0)" -eq 320 ] &&
        [ "$(count "$1" 0 191 0 199 0 0 0 0)" -eq 9 ] &&
        [ "$(count "$1" 1 193 1 197 206 206 206 6)" -eq 5 ] &&
        [ "$(count "$1" 230 192 318 199 255 255 255 0)" -gt 20 ] &&
        [ "$(count "$1" 0 0 319 190 255 255 255 0)" -gt 30000 ]
}

# The pause screen: white, a black line across at y = 100 with the grey dot (9 pixels across)
# of the day's progress on it, and dark grey texts: "-PAUSE-" (blinking) at
# y = 20, "Press select to quit" at y = 30, the percentage at y = 120 and the clock at y = 130.
is_pause() { # is_pause NAME
    [ "$(count "$1" 0 100 319 100 0 0 0 0)" -eq 311 ] &&
        [ $(($(count "$1" 0 96 319 104 99 99 99 6) + $(count "$1" 0 96 319 104 206 206 206 6))) -ge 40 ] &&
        [ "$(count "$1" 80 30 239 37 49 49 49 6)" -gt 50 ] &&
        [ "$(count "$1" 80 120 239 127 49 49 49 6)" -gt 20 ] &&
        [ "$(count "$1" 80 130 239 137 49 49 49 6)" -gt 50 ] &&
        [ "$(count "$1" 0 0 319 199 255 255 255 0)" -gt 60000 ]
}

# The race clock, white at the right of the status strip, moves on by a minute a second.
# Waits, in a race, until it has moved on MINUTES times; the last screenshot is NAME.
race_minutes() { # race_minutes MINUTES NAME
    local minutes=$1 name=$2
    shot "$name"
    while [ "$minutes" -gt 0 ]; do
        cp "$SHOTS/$name.px" "$SHOTS/$name-before.px"
        wait_for 10 shows "$name" clock_moved
        minutes=$((minutes - 1))
    done
}
clock_moved() { is_race "$1" && [ "$(differ "$1-before" "$1" 230 192 318 199)" -gt 0 ]; }
