#!/bin/sh
# The installed launcher in odd environments: many first starts two at a time, a relative
# XDG_DATA_HOME, a missing or relative HOME, and a folder it cannot make. The game itself is
# replaced by a stand-in that notes the folder it was started in, so no window is needed.
#   launcher_test.sh BUILD-DIR GAMESDIR GAMELIBDIR GAMEDATADIR   (full paths, as configured)
set -eu
build=$1 gamesdir=$2 gamelibdir=$3 gamedatadir=$4

tmp=$(mktemp -d "${TMPDIR:-/tmp}/gravelmoth-launcher-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

root=$tmp/root
DESTDIR=$root cmake --install "$build" >"$tmp/install.log" || fail "cmake --install failed"
launcher=$root$gamesdir/gravelmoth
data=$(readlink -f "$root$gamedatadir")
cat >"$root$gamelibdir/gravelmoth" <<'EOF'
#!/bin/sh
pwd >>"$STARTED"
printf '[%s]' "$@" >"$STARTED.options"
EOF
# Error messages in a window are noted instead of shown, by the stand-in xmessage.
STARTED=$tmp/started SHOWN=$tmp/shown
GRAVELMOTH_MESSAGES=$SHOWN PATH=$(cd "$(dirname "$0")" && pwd)/bin:$PATH
export STARTED SHOWN GRAVELMOTH_MESSAGES PATH

# Both links point at the installed data, and nothing was put inside it.
expect_folder() { # expect_folder FOLDER WHAT
    for name in gfx sfx; do
        [ "$(readlink "$1/$name")" = "$data/$name" ] || fail "$2: $name is not linked to the data"
    done
    [ -z "$(find "$data" -type l)" ] || fail "$2: links were made inside the installed data"
    [ -z "$(find "$1" -name '.*.*')" ] || fail "$2: a temporary link was left behind"
}

# Two first starts at once, again and again: both start the game in the new folder.
round=0
while [ "$round" -lt 40 ]; do
    round=$((round + 1))
    base=$tmp/xdg$round
    mkdir "$base"
    : >"$STARTED"
    XDG_DATA_HOME=$base "$launcher" 2>"$tmp/err1" &
    first=$!
    XDG_DATA_HOME=$base "$launcher" 2>"$tmp/err2" &
    second=$!
    wait "$first" || fail "round $round: the first launcher failed: $(cat "$tmp/err1")"
    wait "$second" || fail "round $round: the second launcher failed: $(cat "$tmp/err2")"
    [ "$(sort -u "$STARTED")" = "$base/gravelmoth" ] || fail "round $round: started in $(cat "$STARTED")"
    [ "$(wc -l <"$STARTED")" -eq 2 ] || fail "round $round: the game was not started twice"
    expect_folder "$base/gravelmoth" "round $round"
    rm -rf "$base"
done
echo "40 rounds of two first starts at once"

# A relative XDG_DATA_HOME counts as unset: the folder goes under HOME, nothing in the
# working folder.
mkdir "$tmp/home" "$tmp/cwd"
: >"$STARTED"
(cd "$tmp/cwd" && HOME=$tmp/home XDG_DATA_HOME=relative "$launcher") || fail "relative XDG_DATA_HOME"
[ "$(cat "$STARTED")" = "$tmp/home/.local/share/gravelmoth" ] || fail "relative XDG_DATA_HOME: started in $(cat "$STARTED")"
[ -z "$(ls -A "$tmp/cwd")" ] || fail "relative XDG_DATA_HOME: made $(ls -A "$tmp/cwd")"
expect_folder "$tmp/home/.local/share/gravelmoth" "relative XDG_DATA_HOME"

# The options reach the game as they were given, one by one (the desktop entry's size).
(cd "$tmp/cwd" && HOME=$tmp/home "$launcher" --scale auto 'two words') || fail "with options"
[ "$(cat "$STARTED.options")" = "[--scale][auto][two words]" ] ||
    fail "the game was given $(cat "$STARTED.options")"

# Without a usable HOME, or where the folder cannot be made, the launcher says so on stderr
# and, with a display, in a window, and starts nothing.
refused() { # refused WHAT COMMAND...
    what=$1
    shift
    : >"$STARTED"
    : >"$SHOWN"
    if (cd "$tmp/cwd" && DISPLAY=:99 "$@" 2>"$tmp/err"); then
        fail "$what: the launcher succeeded"
    fi
    [ ! -s "$STARTED" ] || fail "$what: the game was started in $(cat "$STARTED")"
    grep -q '^gravelmoth: ' "$tmp/err" || fail "$what: nothing on stderr"
    [ -s "$SHOWN" ] || fail "$what: no message in a window"
    [ -z "$(ls -A "$tmp/cwd")" ] || fail "$what: made $(ls -A "$tmp/cwd")"
    echo "refused, $what: $(cat "$tmp/err")"
}
refused "no HOME" env -u HOME -u XDG_DATA_HOME "$launcher"
refused "relative HOME" env -u XDG_DATA_HOME HOME=home "$launcher"
: >"$tmp/file"
refused "a file in the folder's way" env XDG_DATA_HOME="$tmp/file" "$launcher"
echo "passed"
