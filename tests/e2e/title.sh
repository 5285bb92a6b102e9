#!/bin/bash
# The title screen: its quit keys, and the best result from "highscore.sav" printed on it.
#   title.sh GAME XCLOSE ASSETS CASE
# CASE: quit-keys | best-result
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
        sleep 0.5
        check "space and an arrow key leave the title screen alone" running
        press "$quit"
        wait_exit 10
        check "$quit on the title ends the game with status 0 (was $STATUS)" test "$STATUS" -eq 0
        check "$quit on the title starts no race" test ! -e "$RUN/highscore.sav"
    done
    check "nothing was reported" test ! -s "$MESSAGES"
}

# Runs the game to its title screen, keeps that screenshot as NAME and closes the game again.
title_with() { # title_with NAME
    start_to_title "$1"
    close_and_expect_clean_exit
}

# The best result is printed in dark grey, "%2i:%2i", in a 40 by 8 box centred on x = 264 with
# its top at y = 175: five cells of 8 pixels from x = 244 (TEXT_BOX).
case_best_result() {
    start_xvfb
    use_assets
    # shellcheck disable=SC2086
    set -- $TEXT_BOX
    title_with none
    local printed
    printed=$(mismatches none title-file 0 0 320 "$@")
    check "with no highscore.sav a result is printed on the picture" test "$printed" -gt 20
    check "it is printed in dark grey (49, 49, 49)" test "$(count none "$@" 49 49 49 6)" -ge "$printed"
    check "the game does not create highscore.sav for the title" test ! -e "$RUN/highscore.sav"

    write_highscore 0 0
    title_with zero
    check "no highscore.sav reads as 0 hours and 0 minutes, \" 0: 0\"" \
        test "$(differ none zero 0 0 319 199)" -eq 0

    write_highscore 24 0
    title_with day
    check "24: 0 is printed differently from  0: 0 in the first two cells" \
        test "$(differ none day "$1" "$2" $(($1 + 15)) "$4")" -gt 0
    check "24: 0 and  0: 0 share the last three cells, \": 0\"" \
        test "$(differ none day $(($1 + 16)) "$2" "$3" "$4")" -eq 0
    check "the '2' of 24: 0 is dark grey in the first cell, where  0: 0 has a blank" \
        test "$(count day "$1" "$2" $(($1 + 7)) "$4" 49 49 49 6)" -gt \
        "$(count none "$1" "$2" $(($1 + 7)) "$4" 49 49 49 6)"
    check "nothing outside the box depends on the result" test "$(differ none day 0 0 319 199)" -eq \
        "$(differ none day "$@")"
    check "the title screen leaves highscore.sav as it was" test "$(read_highscore)" = "24 0"

    write_highscore 13 7
    title_with other
    check "13: 7 is printed differently from 24: 0" test "$(differ day other "$@")" -gt 0

    # A file cut short reads as what it holds, the missing bytes as zero: 24 and no minutes.
    printf '\030\000\000\000' >"$RUN/highscore.sav"
    title_with short
    check "a 4-byte highscore.sav holding 24 shows as 24: 0" test "$(differ day short "$@")" -eq 0
}

case ${4:-} in
quit-keys) case_quit_keys ;;
best-result) case_best_result ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
