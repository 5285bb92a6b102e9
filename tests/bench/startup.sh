#!/bin/sh
# Start-up time of the game, from launching the program to the first frame of the title
# picture in its window, measured from outside the process in an X server of its own.
#   startup.sh GAME PROBE [DATA-DIR [RUNS]]
# GAME is the built program, PROBE the built startup_probe, DATA-DIR the folder holding gfx/
# and sfx/ (default: the current one), RUNS the number of timed starts (default 7). Prints
# each time and their median, in milliseconds.
set -eu
game=$(readlink -f "$1")
probe=$(readlink -f "$2")
data=$(readlink -f "${3:-.}")
runs=${4:-7}

tests=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=SCRIPTDIR/../xvfb.sh
. "$tests/xvfb.sh"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/gravelmoth-startup-XXXXXX")
cleanup() {
    xvfb_stop "$tmp/xvfb"
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

xvfb_start "$tmp/xvfb"
read -r DISPLAY _ <"$tmp/xvfb"
export DISPLAY

# The game runs where a player's launcher would run it: gfx/ and sfx/ linked in, no best
# result yet.
mkdir "$tmp/play"
ln -s "$data/gfx" "$tmp/play/gfx"
ln -s "$data/sfx" "$tmp/play/sfx"
cd "$tmp/play"

# The first start only learns what the title frame looks like (and warms the file cache).
# An error report would wait in an xmessage box for a click; the stand-in writes it to the log.
PATH=$tests/bin:$PATH
unset GRAVELMOTH_MESSAGES

# What the game prints goes to a log, shown only when a start fails.
probe() {
    "$probe" "$@" -- "$game" 2>>"$tmp/game.log" || {
        cat "$tmp/game.log" >&2
        exit 1
    }
}
probe capture "$tmp/title.frame"
run=0
while [ "$run" -lt "$runs" ]; do
    probe measure "$tmp/title.frame" >>"$tmp/times"
    run=$((run + 1))
done
printf 'start-up to the first title frame, ms:'
sort -n "$tmp/times" | tr '\n' ' '
echo
sort -n "$tmp/times" | awk '{ t[NR] = $1 } END {
    m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "median of %d: %.1f ms\n", NR, m }'
