#!/bin/sh
# Starts an installed launcher as a new player would, in its own X server, plays a race up to
# its result, quits from the title, and looks for the best result in the player's own folder
# and for its links to the installed data. Used by the install test on a staged tree and by
# the Debian package's autopkgtest on the installed package.
#   play_installed.sh LAUNCHER DATA-FOLDER [HOME]
# HOME is the player's home, which is kept; by default a scratch one, removed with the rest.
# Needs Xvfb, xdotool and ImageMagick's import.
set -eu
launcher=$1 data=$2 home=${3:-}

tests=$(cd "$(dirname "$0")" && pwd)
# The game's window title, as src/main.h names it.
title=$(sed -n 's/^.*windowTitle\[\] = "\(.*\)";$/\1/p' "$tests/../src/main.h")
: "${title:?no windowTitle in src/main.h}"
# shellcheck source=SCRIPTDIR/xvfb.sh
. "$tests/xvfb.sh"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/gravelmoth-play-XXXXXX")
game_pid=""
cleanup() {
    [ -z "$game_pid" ] || kill "$game_pid" 2>/dev/null || true
    xvfb_stop "$tmp/xvfb"
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    log=$tmp/game.log
    if [ -s "$log" ]; then
        echo "--- $log" >&2
        cat "$log" >&2
    fi
    exit 1
}

# Every wait is a poll with a limit in seconds, counted on the clock: a busy machine may take
# seconds over a single look at the screen. wait_for SECONDS COMMAND...
wait_for() {
    deadline=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$deadline" ] || return 1
        sleep 0.1 # between two looks
    done
}

[ -x "$launcher" ] || fail "no launcher at $launcher"

# The game in its own X server, as a player with a fresh home would start it.
xvfb_start "$tmp/xvfb" || fail "Xvfb did not start"
read -r DISPLAY _ <"$tmp/xvfb"
export DISPLAY
[ -n "$home" ] || home=$tmp/home
folder=$home/.local/share/gravelmoth
# A link left by an older installation: the launcher must point it at this one.
mkdir -p "$folder"
ln -s /nonexistent/gfx "$folder/gfx"

# An error report would wait in an xmessage box for a click; the stand-in writes it to the log.
(
    unset XDG_DATA_HOME GRAVELMOTH_MESSAGES
    cd /
    HOME=$home PATH=$tests/bin:$PATH exec setpriv --pdeathsig KILL "$launcher"
) >"$tmp/game.log" 2>&1 &
game_pid=$!
alive() { kill -0 "$game_pid" 2>/dev/null || fail "the game ended early"; }
ended() { ! kill -0 "$game_pid" 2>/dev/null; }

found_window() {
    alive
    win=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1)
    [ -n "$win" ]
}
wait_for 20 found_window || fail "no game window"

# One pixel of the window as "R,G,B".
pixel() {
    MAGICK_THREAD_LIMIT=1 timeout 5 import -silent -window "$win" -crop "1x1+$1+$2" -depth 8 \
        txt:- 2>/dev/null | sed -n 's/^0,0: (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
# The race's status strip: black, with the light grey health bar from column 1.
in_race() { [ "$(pixel 0 198)" = 0,0,0 ] && [ "$(pixel 2 195)" = 206,206,206 ]; }
# The pause screen: white with the black line across the middle of the day.
in_pause() { [ "$(pixel 0 199)" = 255,255,255 ] && [ "$(pixel 0 100)" = 0,0,0 ]; }
# The title screen: its picture, as the installed file has it, at two spots where neither the
# loading text nor the race nor the pause screen looks so.
title_pixel() {
    MAGICK_THREAD_LIMIT=1 timeout 5 convert "$data/gfx/title.tga" -auto-orient \
        -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n 's/^0,0: (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
title_corner=$(title_pixel 0 199)
title_middle=$(title_pixel 0 100)
in_title() { [ "$(pixel 0 199)" = "$title_corner" ] && [ "$(pixel 0 100)" = "$title_middle" ] &&
    ! in_race; }
# Holds KEY down until COMMAND succeeds, at most SECONDS seconds: a press that waits for what it
# causes, however long a busy machine takes to see it (a press counts once). A press that brings
# nothing fails, naming itself: it is never made again.
hold_until() { # hold_until KEY SECONDS COMMAND...
    key=$1 limit=$2
    shift 2
    xdotool windowfocus "$win" keydown "$key"
    wait_for "$limit" "$@" || fail "the game did not see the press of $key: no $* within $limit s"
    xdotool keyup "$key"
    # The key-up's own length, the input itself: the game, which reads the keys once a tick,
    # sees the key let go, and the next press of it counts as new.
    sleep 0.25
}
# The race clock at the right of the status strip moves on by a minute a second.
clock() { pixels=$(MAGICK_THREAD_LIMIT=1 timeout 5 import -silent -window "$win" \
    -crop 89x8+230+192 -depth 8 rgb:- 2>/dev/null | od -An -v -tx1 | tr -d ' \n'); }
clock_moved() { alive && before=$pixels && clock && [ "$pixels" != "$before" ]; }

# The title is the loading text until its picture is read; ENTER waits for the race.
hold_until Return 20 in_race
clock
wait_for 10 clock_moved || fail "the race clock does not go on"
hold_until Return 10 in_pause
# TAB ends the race, and its result is stored before the title comes back; the title counts
# only a press it saw begin, so the next TAB waits for it.
score=$folder/highscore.sav
stored() { test -f "$score"; }
hold_until Tab 10 stored
wait_for 10 in_title || fail "the title did not come back after the race"
hold_until Tab 10 ended
status=0
wait "$game_pid" || status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status"

[ "$(readlink "$folder/gfx")" = "$(readlink -f "$data")/gfx" ] ||
    fail "the stale gfx link was not pointed at the installed data"
[ "$(readlink "$folder/sfx")" = "$(readlink -f "$data")/sfx" ] ||
    fail "no sfx link to the installed data"
[ "$(wc -c <"$score")" -eq 8 ] || fail "highscore.sav is not 8 bytes"
read -r hours minutes <<EOF
$(od -An -td4 --endian=little "$score")
EOF
if ! { [ "$minutes" -ge 0 ] && [ "$minutes" -le 59 ] && [ "$hours" -le 24 ] &&
    [ $((hours * 60 + minutes)) -ge 150 ]; }; then
    fail "highscore.sav holds $hours:$minutes, not a race's result"
fi
echo "played $launcher: raced to $hours:$minutes and quit from the title"
