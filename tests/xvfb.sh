#!/bin/sh
# Runs the tests' own X server, so every window a test opens is a real one but never a
# player's.
#   xvfb.sh start FILE   start Xvfb on a free display; FILE receives ":N" and the pid
#   xvfb.sh stop FILE    stop it again
#   xvfb.sh run FILE CMD ...   run CMD with DISPLAY set from FILE (as it is when FILE is absent)
set -eu
action=$1
file=$2
shift 2
case $action in
start)
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -noreset: otherwise the server resets whenever its last client leaves and drops
    # connections made meanwhile. 24 bits, as most desktops, takes the colour-converting path.
    setsid Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 640x480x24 3>"$fifo" \
        </dev/null >/dev/null 2>&1 &
    pid=$!
    read -r display <"$fifo"
    rm -f "$fifo"
    printf ':%s %s\n' "$display" "$pid" >"$file"
    ;;
stop)
    if [ -f "$file" ]; then
        read -r _ pid <"$file"
        kill "$pid" 2>/dev/null || true
        rm -f "$file"
    fi
    ;;
run)
    # Listing the tests needs no display, and runs before any server is up.
    [ -f "$file" ] || exec "$@"
    read -r display _ <"$file"
    DISPLAY=$display exec "$@"
    ;;
esac
