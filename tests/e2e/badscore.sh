#!/bin/bash
# A damaged or locked "highscore.sav": missing, empty, short, long, hand-edited, random bytes, a
# folder of that name, unreadable, in a read-only folder, read-only. The title shows what the
# file's first 8 bytes say (a short file is read with zeros for the bytes it lacks), the game
# survives, and a race's result replaces the file as a whole where the folder and the file let
# the player write, rewrites it in place where only the file does, or else leaves it exactly as
# it was.
# The game runs as an unprivileged user, since root would write anywhere.
#   badscore.sh GAME XCLOSE ASSETS CASE
# CASE: contents | locked
GAME=$1 XCLOSE=$2 ASSETS=$3
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

PLAYER=65534 # nobody
SAVE=$RUN/highscore.sav

# Where no unprivileged user can start a program at all (a root folder closed to others, as in
# some build chroots), these cases cannot be played: say so and skip.
if ! setpriv --reuid=$PLAYER --regid=$PLAYER --clear-groups /bin/true 2>/dev/null; then
    echo "SKIP: user $PLAYER cannot run programs on this machine"
    exit 77
fi

# The player must reach the game, its pictures and sounds, the report stand-in and its record.
mkdir "$WORK/bin"
cp "$TESTS/bin/xmessage" "$WORK/bin/"
chmod 755 "$WORK" "$WORK/bin"
chmod 666 "$MESSAGES"
cp "$GAME" "$WORK/gravelmoth"
chmod 755 "$WORK/gravelmoth"
mkdir "$WORK/assets"
cp -R "$ASSETS/gfx" "$ASSETS/sfx" "$WORK/assets/"
chmod -R a+rX "$WORK/assets"

as_player() { setpriv --reuid=$PLAYER --regid=$PLAYER --clear-groups "$@"; }

# A fresh working folder that belongs to the player.
fresh_folder() {
    chmod -R u+rwX "$RUN" 2>/dev/null
    rm -rf "$RUN"
    mkdir "$RUN"
    ln -s "$WORK/assets/gfx" "$WORK/assets/sfx" "$RUN/"
    chown -h $PLAYER:$PLAYER "$RUN" "$RUN/gfx" "$RUN/sfx"
}

start_as_player() {
    (cd "$RUN" && PATH=$WORK/bin:$PATH exec setpriv --reuid=$PLAYER --regid=$PLAYER \
        --clear-groups "$WORK/gravelmoth" >"$WORK/stdout" 2>"$WORK/stderr") &
    GAME_PID=$!
}

# The title picture, whatever the best result printed on it (a long one runs past the box).
title_shown() { [ "$(mismatches "$1" title-file 0 0 320 0 0 319 199 8 $TEXT_ROWS)" -eq 0 ]; }

# Starts the game as the player and waits for the title, as screenshot NAME.
to_title() { # to_title NAME
    [ -f "$SHOTS/title-file.px" ] || picture title-file "$ASSETS/gfx/title.tga"
    start_as_player
    find_window
    wait_for 20 "$1" title_shown "$1"
}

# A race of a few seconds from the title, ended by the close button: the game saves its result
# and ends with status 0, having reported nothing.
race_and_close() {
    press Return
    wait_for 10 "$1-race" is_race "$1-race"
    sleep 1.5
    close_and_expect_clean_exit
}

# The 8 bytes a file's start gives the title: its first 8, the missing ones as zero.
first8() { { head -c 8 "$1" 2>/dev/null; head -c 8 /dev/zero; } | head -c 8 | od -An -v -tx1 | tr -d ' \n'; }

# The title as it is with a plain 8-byte file holding BYTES (hex), taken once per value; its
# screenshot's name goes to REF.
declare -A REFERENCE
reference() { # reference HEX
    if [ -z "${REFERENCE[$1]:-}" ]; then
        local name=reference-$1
        fresh_folder
        # shellcheck disable=SC2001
        printf '%b' "$(sed 's/../\\x&/g' <<<"$1")" >"$SAVE"
        chown $PLAYER:$PLAYER "$SAVE"
        to_title "$name"
        close_and_expect_clean_exit
        REFERENCE[$1]=$name
    fi
    REF=${REFERENCE[$1]}
}

# Compares what a race did to the file with what it was: replaced as a whole by the race's
# result, or untouched.
snapshot() {
    BEFORE_ID=$(stat -c '%i %a %U' "$SAVE" 2>/dev/null)
    rm -f "$WORK/before"
    [ -f "$SAVE" ] && cp "$SAVE" "$WORK/before"
}
holds_result() { # holds_result WHAT
    check "$1: the result replaced highscore.sav" test -f "$SAVE" -a "$(size_of "$SAVE")" -eq 8
    local hours minutes
    read -r hours minutes <<<"$(read_highscore)"
    check "$1: it holds the race's result, at least 2:31 (was $hours:$minutes)" \
        test "$hours" -eq 2 -a "$minutes" -ge 31 -a "$minutes" -lt 59
}
expect_replaced() { # expect_replaced WHAT
    holds_result "$1"
    if [ -n "$BEFORE_ID" ]; then
        check "$1: a new file took the old one's name (it was not written in place)" \
            test "$(stat -c %i "$SAVE")" != "${BEFORE_ID%% *}"
    fi
    check "$1: no temporary file is left" \
        test "$(ls -A "$RUN" | sort | tr '\n' ' ')" = "gfx highscore.sav highscore.sav.lock sfx "
}
# No file can be made in a read-only folder, but the player may write the best itself.
expect_rewritten() { # expect_rewritten WHAT
    holds_result "$1"
    check "$1: highscore.sav is the same file, with the same mode and owner" \
        test "$(stat -c '%i %a %U' "$SAVE" 2>/dev/null)" = "$BEFORE_ID"
}
expect_unchanged() { # expect_unchanged WHAT
    if [ -f "$WORK/before" ]; then
        check "$1: highscore.sav holds what it held" cmp -s "$WORK/before" "$SAVE"
    fi
    check "$1: highscore.sav is the same file, with the same mode and owner" \
        test "$(stat -c '%i %a %U' "$SAVE" 2>/dev/null)" = "$BEFORE_ID"
    check "$1: no temporary file is left" test -z "$(ls -A "$RUN" | grep '^highscore.sav.tmp')"
}

# One case: the folder as SETUP leaves it; the title must show what the file's first 8 bytes
# say, and a race then replaces the file, rewrites it or leaves it alone.
play_case() { # play_case NAME SETUP replaced|rewritten|unchanged
    local name=$1 setup=$2 outcome=$3 expected plain=
    log "--- $name"
    fresh_folder
    "$setup"
    expected=$(first8 "$SAVE")
    # An unreadable file or a folder gives the title nothing.
    as_player test -r "$SAVE" -a -f "$SAVE" || expected=0000000000000000
    # A plain 8-byte file is its own reference, unless one was taken before.
    if [ -z "${REFERENCE[$expected]:-}" ] && as_player test -r "$SAVE" -a -f "$SAVE" &&
        [ "$(size_of "$SAVE")" -eq 8 ]; then
        plain=yes
    else
        reference "$expected"
        fresh_folder
        "$setup"
    fi
    snapshot
    to_title "$name"
    if [ -n "$plain" ]; then
        REFERENCE[$expected]=$name
    else
        check "$name: the title shows the same best as a plain file of those 8 bytes" \
            test "$(differ "$name" "$REF" 0 0 319 199)" -eq 0
    fi
    race_and_close "$name"
    "expect_$outcome" "$name"
}

owned() { chown $PLAYER:$PLAYER "$SAVE"; }
put() { printf '%b' "$1" >"$SAVE" && owned; } # put BYTES (with backslash escapes)

missing() { :; }
empty() { put ''; }
three_bytes() { put '\012\001\002'; }
eight_bytes() { write_highscore 2 30 && owned; }
hundred_bytes() { { write_highscore 2 30 && cat "$SAVE" && head -c 92 /dev/urandom; } >"$WORK/long" &&
    mv "$WORK/long" "$SAVE" && owned; }
negative() { write_highscore -2147483648 -1 && owned; }
huge() { write_highscore 2147483647 2147483647 && owned; }
random_bytes() { cp "$WORK/random" "$SAVE" && owned; }
a_folder() { mkdir "$SAVE" && owned; }
unreadable() { write_highscore 2 30 && owned && chmod 000 "$SAVE"; }
read_only_folder() { write_highscore 2 30 && owned && chown root:root "$RUN" && chmod 755 "$RUN"; }
read_only_file() { write_highscore 2 30 && owned && chmod 444 "$SAVE"; }

case_contents() {
    start_xvfb
    # Plain 8-byte files and files that start with one are shown as they are; the rest as if
    # padded with zeros.
    play_case missing missing replaced
    play_case empty empty replaced
    play_case three-bytes three_bytes unchanged # read as 131338: 0, never beaten
    play_case eight-bytes eight_bytes replaced
    play_case hundred-bytes hundred_bytes replaced
    play_case negative negative replaced
    play_case huge huge unchanged
    reference 0000000000000000
    local shown
    for shown in eight-bytes negative huge; do
        check "the title of $shown differs from the one of no best" \
            test "$(differ "$REF" "$shown" $TEXT_ROWS)" -gt 0
    done
    # Random bytes: the race's result is better unless the stored hours, read as a signed
    # number, are above 2 or are 2 with minutes of 31 or more.
    head -c 24 /dev/urandom >"$WORK/random"
    local hours minutes
    read -r hours minutes <<<"$(od -An -v -td4 -N8 --endian=little "$WORK/random")"
    log "random bytes read as $hours:$minutes"
    if [ "$hours" -lt 2 ] || { [ "$hours" -eq 2 ] && [ "$minutes" -lt 31 ]; }; then
        play_case random random_bytes replaced
    elif [ "$hours" -gt 2 ] || [ "$minutes" -ge 59 ]; then
        play_case random random_bytes unchanged
    fi
}

case_locked() {
    start_xvfb
    play_case folder a_folder unchanged
    check "the folder named highscore.sav is still an empty folder" \
        test -d "$SAVE" -a -z "$(ls -A "$SAVE")"
    play_case unreadable unreadable unchanged
    play_case read-only-folder read_only_folder rewritten
    play_case read-only-file read_only_file unchanged
}

case ${4:-} in
contents) case_contents ;;
locked) case_locked ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
