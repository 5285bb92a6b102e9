#!/bin/sh
# Builds and checks the game on another Debian release as a new player or packager there would:
# in a bare system of that release (debootstrap minbase, from the mirror this machine's apt
# uses) holding a fresh clone of the committed project, the README's test command, the package
# check and the reproducible build; then, in a second bare system, the package that build left
# installed, played by a player and purged (scripts/install-proof.sh).
#   scripts/other-debian.sh SUITE     SUITE: trixie, sid or bookworm; run as root
# The bare system is cached in /tmp/fresh-base-SUITE.tar and the packages apt fetches in
# /var/cache/gravelmoth-apt/SUITE; everything else goes when the script ends, however it ends.
set -eu
suite=${1:?usage: scripts/other-debian.sh SUITE}
cd "$(dirname "$0")/.."
project=$(pwd)
[ "$(id -u)" -eq 0 ] || {
    echo "other-debian.sh: run it as root (it uses debootstrap, mount and chroot)" >&2
    exit 1
}
. scripts/deps.sh
. scripts/job.sh
# shellcheck disable=SC2086
install_missing $git_packages $other_release_packages

base=/tmp/fresh-base-$suite.tar
debs=/var/cache/gravelmoth-apt/$suite
# Inside a bare system the clone lies where a player account can read it.
clone=/usr/src/gravelmoth
roots=""
root=""

# Stops whatever still runs in a bare system (an X server of a test, say), unmounts what was
# mounted in it, deepest first, and removes it; never anything outside it.
remove_root() {
    for _ in 1 2 3; do
        for proc in /proc/[0-9]*; do
            [ "$(readlink "$proc/root" 2>/dev/null)" = "$1" ] && kill -KILL "${proc#/proc/}" 2>/dev/null
        done
        sleep 0.2
    done
    awk -v root="$1/" 'index($2, root) == 1 { print $2 }' /proc/self/mounts | sort -r |
        while read -r point; do umount -R "$point" 2>/dev/null || umount -l "$point"; done
    if awk -v root="$1/" 'index($2, root) == 1 { found = 1 } END { exit !found }' /proc/self/mounts; then
        echo "other-debian.sh: $1 is still mounted; left in place" >&2
        return 1
    fi
    rm -rf --one-file-system "$1"
}
cleanup() {
    for dir in $roots; do remove_root "$dir" || true; done
    roots=""
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The first Debian archive in this machine's apt sources, one-line or deb822 form.
mirror() {
    grep -h -o -E '^(URIs:|deb) +[a-z]+://[^ ]+' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
        /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n 1 | awk '{ print $2 }'
}

make_base() {
    [ -f "$base" ] && return 0
    echo "making the bare $suite system (cached in $base)"
    dir=$(mktemp -d /tmp/gravelmoth-debootstrap-XXXXXX)
    roots="$roots $dir"
    # Run as a job, where a failing command does not stop the shell.
    debootstrap --variant=minbase "$suite" "$dir" "$(mirror)" >/dev/null &&
        tar -C "$dir" -cf "$base.$$" . && mv "$base.$$" "$base"
}

# A new bare system in $root, with the project cloned into it.
new_root() {
    root=$(mktemp -d "/tmp/gravelmoth-$suite-XXXXXX")
    roots="$roots $root"
    tar -C "$root" -xf "$base"
    chmod 755 "$root"
    cp /etc/resolv.conf "$root/etc/"
    # Unstable's Release file on a mirror may be older than its Valid-Until.
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99no-valid-until"
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount --make-rslave "$root/dev"
    mkdir -p "$debs"
    mount --bind "$debs" "$root/var/cache/apt/archives"
    git clone -q "$project" "$root$clone"
}

# Runs a command in the clone in $root, with a clean environment and no input. In the
# background, so that a signal reaches the trap at once.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 CI="${CI:-}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        sh -c "cd $clone && $1" </dev/null &
    wait $!
}

job "$suite: bare system" make_base
new_root
job "$suite: ./test.sh" in_root ./test.sh
# The suite has just passed here: the package builds skip the unit tests.
job "$suite: package check" in_root "DEB_BUILD_OPTIONS=nocheck scripts/package.sh --check"
job "$suite: reproducible package" in_root "scripts/package.sh --reproducible"
deb=$(ls "$root$clone"/gravelmoth_*.deb)
build_root=$root
new_root
cp "$deb" "$root$clone/"
remove_root "$build_root"
job "$suite: installed, played and purged" in_root "scripts/install-proof.sh ./$(basename "$deb")"
