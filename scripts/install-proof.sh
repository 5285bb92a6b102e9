#!/bin/sh
# The package installed for real, as Debian's piuparts and autopkgtest check it. First on the
# bare system: apt installs it with what it declares it needs and nothing more, the program
# starts on just that, and purging it leaves no file the system did not have before. Then,
# with the autopkgtest's tools, a player account plays a race from /usr/games under Xvfb (the
# autopkgtest's check, in the player's own home), and purging the package keeps the player's
# best result. Changes the system it runs on: only for a bare, throwaway one (as root in the
# chroot scripts/other-debian.sh makes).
#   scripts/install-proof.sh DEB
set -eu
deb=$(readlink -f "${1:?usage: scripts/install-proof.sh DEB}")
cd "$(dirname "$0")/.."
ischroot || {
    echo "install-proof.sh: only in a throwaway chroot (scripts/other-debian.sh makes one)" >&2
    exit 1
}
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d /root/install-proof-XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Every path outside the places that change on their own: apt's and dpkg's state, caches,
# logs, homes and scratch folders.
snapshot() {
    find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
        -o -path /root -o -path /home -o -path /var/cache -o -path /var/log \
        -o -path /var/lib/apt -o -path /var/lib/dpkg \) -prune -o -print | sort
}
installed() { dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' | awk '/^ii/ { print $2 }' | sort; }

# Purges the package and fails if any of its files stays; a folder stays when another package
# or the system had it before.
purge() {
    dpkg -L gravelmoth | grep -vx '/\.' >"$work/files"
    apt-get purge -y -qq gravelmoth >/dev/null
    while read -r path; do
        [ -e "$path" ] || [ -L "$path" ] || continue
        [ -d "$path" ] && { grep -qxF "$path" "$work/before" || dpkg -S "$path" >/dev/null 2>&1; } &&
            continue
        fail "the purge left $path"
    done <"$work/files"
}

apt-get update -qq
# The player's account is part of the system the package is installed on.
useradd --create-home --shell /bin/sh player
snapshot >"$work/before"
installed >"$work/packages-before"

echo "--- apt-get install $(basename "$deb"), on the bare system"
apt-get install -y -qq "$deb" >/dev/null
installed | comm -13 "$work/packages-before" - | grep -vx gravelmoth >"$work/pulled" || true
# What the package depends on, directly or through another dependency, and what apt adds by
# default: what those recommend.
apt-cache depends --recurse --installed --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances gravelmoth |
    sed -n 's/^ *[|A-Za-z]*\(Depends\|Recommends\): //p; s/^ *\([a-z0-9][^ ]*\)$/\1/p' | sort -u >"$work/declared"
echo "pulled in: $(tr '\n' ' ' <"$work/pulled")"
undeclared=$(comm -23 "$work/pulled" "$work/declared" | tr '\n' ' ')
[ -z "$undeclared" ] || fail "apt pulled in what the package does not depend on: $undeclared"
ldd /usr/lib/games/gravelmoth/gravelmoth >"$work/ldd"
! grep 'not found' "$work/ldd" || fail "the program needs a library the package does not depend on"
# Without a display it says it needs one and exits with status 1, not with a loader's error.
scratch=$(runuser -u player -- mktemp -d)
status=0
runuser -u player -- env -i HOME="$scratch" PATH=/usr/bin:/bin:/usr/games \
    /usr/games/gravelmoth >"$work/no-display.log" 2>&1 || status=$?
rm -rf "$scratch"
if [ "$status" -ne 1 ] || grep -q 'error while loading' "$work/no-display.log"; then
    fail "without a display the game ended with status $status: $(cat "$work/no-display.log")"
fi

echo "--- apt-get purge gravelmoth"
purge
# Nor is anything new left that no installed package owns (a file a script made, say).
cat /var/lib/dpkg/info/*.list | sort -u >"$work/owned"
leftovers=$(snapshot | comm -13 "$work/before" - | comm -23 - "$work/owned" | tr '\n' ' ')
[ -z "$leftovers" ] || fail "after the purge, files no package owns are left: $leftovers"

echo "--- a player races from /usr/games"
# The autopkgtest's own dependencies, from its control file, and the package again.
tests_need=$(sed -n 's/^Depends: //p' debian/tests/control | tr ',' '\n' | grep -vx ' *gravelmoth *' | tr '\n' ' ')
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends "$deb" $tests_need >/dev/null
runuser -u player -- env -i HOME=/home/player PATH=/usr/bin:/bin:/usr/games \
    bash tests/play_installed.sh /usr/games/gravelmoth /usr/share/games/gravelmoth /home/player
best=/home/player/.local/share/gravelmoth/highscore.sav
cp "$best" "$work/best"
echo "--- apt-get purge gravelmoth"
purge
cmp "$best" "$work/best" || fail "the purge changed the player's best result"
echo "installed, played and purged: $(basename "$deb") left nothing, the player kept the best result"
