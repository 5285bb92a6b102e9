#!/bin/sh
# The tests' X servers: every window a test opens is a real one but never a player's. Each
# server listens on a free display of its own (-displayfd), so servers never collide.
#   xvfb.sh own CMD ...       run CMD on a server of its own, stopped when CMD ends
# The exit status of own is CMD's. XVFB_SCREEN asks for another screen than 640x480x24, such as
# 1920x1080x24 for a desktop of today. Sourced, it gives the shell that sources it
#   xvfb_start FILE           start a server; FILE receives ":N PID"
#   xvfb_stop FILE            stop it and wait until it is gone
#   guard_folder PID FOLDER   remove FOLDER when process PID ends
# The server is a child of that shell and is told to end when its parent does, however the
# parent ends (a test killed at its time limit included), so a server never outlives its test.

xvfb_start() { # xvfb_start FILE
    _xvfb_fifo=$(mktemp -u "${TMPDIR:-/tmp}/gravelmoth-xvfb-XXXXXX")
    mkfifo "$_xvfb_fifo"
    # -noreset: otherwise the server resets whenever its last client leaves and drops
    # connections made meanwhile. 24 bits, as most desktops, takes the colour-converting path.
    # SIGTERM rather than SIGKILL at the parent's death lets the server remove its lock files.
    setpriv --pdeathsig TERM Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "${XVFB_SCREEN:-640x480x24}" \
        3>"$_xvfb_fifo" </dev/null >/dev/null 2>&1 &
    _xvfb_pid=$!
    # An empty read means the server died before it took a display.
    _xvfb_display=
    read -r _xvfb_display <"$_xvfb_fifo" || true
    rm -f "$_xvfb_fifo"
    if [ -z "$_xvfb_display" ]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    printf ':%s %s\n' "$_xvfb_display" "$_xvfb_pid" >"$1"
}

xvfb_stop() { # xvfb_stop FILE
    [ -f "$1" ] || return 0
    read -r _ _xvfb_pid <"$1"
    rm -f "$1"
    # The server removes its lock files as it goes; a test leaves nothing behind.
    kill "$_xvfb_pid" 2>/dev/null
    wait "$_xvfb_pid" 2>/dev/null
    return 0
}

# Removes FOLDER once process PID has ended, however it ends. CTest kills a test at its time
# limit, and all it started, with SIGKILL, which no trap sees; the guard is no child of the
# test, so out of CTest's reach.
guard_folder() { # guard_folder PID FOLDER
    # shellcheck disable=SC2016 # expanded by the guard's shell
    (setsid sh -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; rm -rf "$2"' guard "$1" "$2" \
        </dev/null >/dev/null 2>&1 &)
}

own() { # own CMD...
    set -eu
    # Everything the run makes is kept in one folder: the server's state and, through TMPDIR,
    # CMD's scratch folders.
    dir=$(mktemp -d "${TMPDIR:-/tmp}/gravelmoth-xvfb-XXXXXX")
    guard_folder $$ "$dir"
    trap 'xvfb_stop "$dir/server"; rm -rf "$dir"' EXIT
    trap 'exit 1' INT TERM HUP
    xvfb_start "$dir/server"
    read -r display _ <"$dir/server"
    status=0
    # CMD goes with this script, as the server does.
    DISPLAY=$display TMPDIR=$dir setpriv --pdeathsig KILL "$@" || status=$?
    exit "$status"
}

# Run rather than sourced.
if [ "${0##*/}" = xvfb.sh ]; then
    if [ "${1:-}" = own ] && [ $# -gt 1 ]; then
        shift
        own "$@"
    fi
    echo "usage: xvfb.sh own CMD..., or source it for xvfb_start and xvfb_stop" >&2
    exit 2
fi
