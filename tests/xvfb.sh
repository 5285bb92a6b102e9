#!/bin/sh
# The tests' X servers: every window a test opens is a real one but never a player's. Each
# server listens on a free display of its own (-displayfd), so servers never collide.
#   xvfb.sh start FILE        start a server; FILE receives ":N PID"
#   xvfb.sh stop FILE         stop it and wait until it is gone
#   xvfb.sh own CMD ...       run CMD on a server of its own, stopped when CMD ends
# The exit status of own is CMD's.
set -eu

start() {
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/gravelmoth-xvfb-XXXXXX")
    mkfifo "$fifo"
    # -noreset: otherwise the server resets whenever its last client leaves and drops
    # connections made meanwhile. 24 bits, as most desktops, takes the colour-converting path.
    # The server stays in the test's process group, so that stopping the test's whole group
    # stops it too.
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 640x480x24 3>"$fifo" \
        </dev/null >/dev/null 2>&1 &
    pid=$!
    # An empty read means the server died before it took a display.
    display=
    read -r display <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$display" ]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    printf ':%s %s\n' "$display" "$pid" >"$1"
}

stop() {
    [ -f "$1" ] || return 0
    read -r _ pid <"$1"
    rm -f "$1"
    kill "$pid" 2>/dev/null || return 0
    # The server removes its lock file as it goes; a test leaves nothing behind.
    tenths=50
    while kill -0 "$pid" 2>/dev/null && [ "$tenths" -gt 0 ]; do
        sleep 0.1
        tenths=$((tenths - 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
}

action=$1
shift
case $action in
start) start "$1" ;;
stop) stop "$1" ;;
own)
    state=$(mktemp -u "${TMPDIR:-/tmp}/gravelmoth-xvfb-XXXXXX")
    trap 'stop "$state"' EXIT
    trap 'exit 1' INT TERM HUP
    start "$state"
    read -r display _ <"$state"
    status=0
    DISPLAY=$display "$@" || status=$?
    exit "$status"
    ;;
*)
    echo "usage: xvfb.sh start|stop FILE, or xvfb.sh own CMD..." >&2
    exit 2
    ;;
esac
