#!/bin/bash
# The title screen's quit keys (the best result printed on it is the unit tests').
#   title.sh GAME XCLOSE ASSETS CASE
# CASE: quit-keys
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

# ALT, left CTRL and TAB each end the game from the title, with status 0 and without a race;
# other keys do not.
case_quit_keys() {
    start_xvfb
    use_assets
    local quit
    for quit in Alt_L Control_L Tab; do
        start_to_title "title-$quit"
        press space
        press Right
        shot "keys-$quit"
        check "space and an arrow key leave the title screen alone" is_title "keys-$quit"
        hold_until "$quit" 10 ended
        wait_exit 1
        check "$quit on the title ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
        check "$quit on the title starts no race" test ! -e "$RUN/highscore.sav"
    done
    check "nothing was reported" test ! -s "$MESSAGES"
}

case ${4:-} in
quit-keys) case_quit_keys ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
