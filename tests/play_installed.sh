#!/bin/bash
# Starts an installed launcher as a new player would, in its own X server, plays a race up to
# its result, quits from the title, and looks for the best result in the player's own folder
# and for its links to the installed data. Used by the install test on a staged tree, by the
# Debian package's autopkgtest and by scripts/install-proof.sh on the installed package.
#   play_installed.sh LAUNCHER DATA-FOLDER [HOME]
# HOME is the player's home, which is kept; by default a scratch one, removed with the rest.
# Needs Xvfb, xdotool and ImageMagick.
GAME=$1 ASSETS=$2 home=${3:-}
XCLOSE=/bin/false # no close button in this race
# shellcheck source=SCRIPTDIR/e2e/lib.sh
. "$(dirname "$0")/e2e/lib.sh"

start_xvfb
[ -n "$home" ] || home=$WORK/home
folder=$home/.local/share/gravelmoth
HIGHSCORE=$folder/highscore.sav
# A link left by an older installation: the launcher must point it at this one.
mkdir -p "$folder"
ln -s /nonexistent/gfx "$folder/gfx"
# The player's own folder is found from HOME alone.
export HOME=$home
unset XDG_DATA_HOME

# The title is the installed picture; the launcher runs the game in the player's folder.
start_to_title title
hold_until Return 10 shows race is_race
race_minutes 1 race
hold_until Return 10 shows pause is_pause
# TAB ends the race and stores its result before the title comes back.
hold_until Tab 10 shows title-after is_title
hold_until Tab 10 ended
wait_exit 10
check "quitting from the title ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
check "nothing was reported (got '$(cat "$MESSAGES")')" test ! -s "$MESSAGES"

data=$(readlink -f "$ASSETS")
check "the stale gfx link is pointed at the installed data" test "$(readlink "$folder/gfx")" = "$data/gfx"
check "the sfx link is to the installed data" test "$(readlink "$folder/sfx")" = "$data/sfx"
saved_minutes
log "played $GAME: raced $SAVED race minutes past 2:30 and quit from the title"
