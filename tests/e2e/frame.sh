#!/bin/bash
# The program frame as a player meets it: the window, the loading text, the close button, and
# a start without a display (bad files: badfiles_test.cpp).
#   frame.sh GAME XCLOSE ASSETS CASE [WMINFO HOLDOPEN]
# CASE: window | no-display
# WMINFO: the helper that tells a window's class and icon (window only).
# HOLDOPEN: the module that holds the game's opening of a file (window only).
GAME=$1 XCLOSE=$2 ASSETS=$3 WMINFO=${5:-} HOLDOPEN=${6:-}
# shellcheck source=SCRIPTDIR/lib.sh
. "$(dirname "$0")/lib.sh"

# The pixels of an XPM of one character a pixel, as wminfo prints an icon: "icon WxH", then
# "#RRGGBB" or "None" for each pixel, row by row.
xpm_pixels() { # xpm_pixels FILE
    awk -F'"' '
        NF < 3 { next }
        !header { split($2, f, " "); printf "icon %dx%d\n", f[1], f[2]; colours = f[3]; header = 1; next }
        colours > 0 { value = $2; sub(/^. c /, "", value); map[substr($2, 1, 1)] = value; colours--; next }
        { for (i = 1; i <= length($2); i++) print map[substr($2, i, 1)] }
    ' "$1"
}

# The window, its title and size, its class and icon, the loading text shown until the title
# picture is read, and a clean end on the close button.
case_window() {
    start_xvfb
    # The game's opening of the title picture is held, as on a slow disk, right after it has
    # shown the loading text. The module is not instrumented, so the sanitizers' runtime need
    # not come first.
    [ -f "$HOLDOPEN" ] || fail "no holdopen module at '$HOLDOPEN'"
    use_assets
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 LD_PRELOAD=$HOLDOPEN \
        HOLDOPEN_FILE=gfx/title.tga HOLDOPEN_UNTIL=$WORK/title-go start_game
    find_window
    check "the window title is exactly \"$TITLE\"" \
        test "$(xdotool getwindowname "$WIN")" = "$TITLE"
    local geometry
    geometry=$(xdotool getwindowgeometry --shell "$WIN")
    check "the window is 320x200" grep -qx 'WIDTH=320' <<<"$geometry"
    check "the window is 320x200" grep -qx 'HEIGHT=200' <<<"$geometry"

    # What docks read: the class that the desktop entry's StartupWMClass names, so that they
    # group the window with its launcher, and the icon, the XPM the generator writes (the
    # library offers an icon of its own without it).
    local class
    [ -x "$WMINFO" ] || fail "no wminfo helper at '$WMINFO'"
    "$WMINFO" "$WIN" >"$WORK/wminfo" || fail "wminfo could not read the window"
    class=$(sed -n 's/^StartupWMClass=//p' "$ASSETS/linux/gravelmoth.desktop.in")
    check "the desktop entry names a window class" test -n "$class"
    check "the window's class is the desktop entry's StartupWMClass, $class ($(head -1 "$WORK/wminfo"))" \
        grep -qx "class [^ ]* $class" "$WORK/wminfo"
    xpm_pixels "$ASSETS/linux/icons/gravelmoth.xpm" >"$WORK/xpm"
    check "the window offers the game's icon, pixel for pixel ($(sed -n 2p "$WORK/wminfo"))" \
        cmp -s <(tail -n +2 "$WORK/wminfo") "$WORK/xpm"

    # "Loading engine, please wait...": 30 characters of 8 pixels, white, centred on (160, 100).
    # Its box is 40..279 by 100..107; the last glyph, a dot, leaves its right columns blank.
    loading_shown() {
        local x0 y0 x1 y1
        read -r x0 y0 x1 y1 <<<"$(bbox loading 255 255 255 0)"
        [ "${x0:-}" = 40 ] && [ "$y0" -ge 100 ] && [ "$x1" -ge 270 ] && [ "$x1" -le 279 ] &&
            [ "$y1" -le 107 ]
    }
    wait_for 10 shows loading loading_shown
    check "the loading text is white, centred at the middle of the window, on black" \
        test "$(count loading 0 0 319 199 0 0 0 0)" -eq $((64000 - $(count loading 0 0 319 199 255 255 255 0)))
    check "the loading text is a text, not a bar" \
        test "$(count loading 40 100 279 107 255 255 255 0)" -lt 1200

    # Still loading: the text stays until the picture is read.
    check "the loading text stays while the picture is not read" shows loading-still loading_shown
    : >"$WORK/title-go"
    wait_for 10 shows title is_title
    check "the title picture replaces the loading text" \
        test "$(mismatches title title-file 0 0 320 0 0 319 199)" -lt 320

    close_and_expect_clean_exit
}

# Without a display the library cannot start: a clear message, a failure status, no crash.
case_no_display() {
    use_assets
    local status
    (cd "$RUN" && exec env -u DISPLAY PATH="$TESTS/bin:$PATH" timeout -s KILL 20 "$GAME" \
        >"$WORK/stdout" 2>"$WORK/stderr")
    status=$?
    log "exit status $status; stderr: $(cat "$WORK/stderr")"
    check "the game fails with a non-zero status" test "$status" -ne 0
    check "the game does not crash or hang (status $status)" test "$status" -lt 124
    check "the message is one line" test "$(grep -c . "$WORK/stderr")" -eq 1
    check "the message says the game library could not start" \
        grep -qi 'game library could not start' "$WORK/stderr"
    check "the message says a graphical (X11) display is needed" \
        grep -qi 'graphical (X11) display' "$WORK/stderr"
    check "no message box is tried" test ! -s "$MESSAGES"
}

case ${4:-} in
window) case_window ;;
no-display) case_no_display ;;
*) fail "unknown case '${4:-}'" ;;
esac
log "passed"
