# shellcheck shell=sh
# The lists are read by the scripts that source this file.
# shellcheck disable=SC2034
# Installs the Debian packages named in $@ that are not installed yet; sourced by play.sh,
# test.sh and the scripts in scripts/. Uses sudo unless run as root.
install_missing() {
    missing=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# What building the game needs, as the Build-Depends of debian/control name it, one package a
# line: without versions, architectures and profiles, and without debhelper, which only the
# Debian package's own build uses. build_depends check names them all; build_depends nocheck
# leaves out what only the tests need (the <!nocheck> ones). Plain awk: a bare system has no
# dpkg-dev or grep-dctrl.
build_depends() {
    awk -v profile="$1" '
        /^#/ { next }
        /^[^ \t]/ { field = 0 }
        /^Build-Depends:/ { field = 1; sub(/^Build-Depends:/, "") }
        field {
            count = split($0, entries, ",")
            for (i = 1; i <= count; i++) {
                entry = entries[i]
                if (profile == "nocheck" && entry ~ /<!nocheck>/)
                    continue
                sub(/[[(<].*/, "", entry)
                gsub(/[ \t]/, "", entry)
                if (entry != "" && entry != "debhelper-compat")
                    print entry
            }
        }' debian/control
}

# The compiler and make, which Debian implies in every Build-Depends.
compiler_packages="build-essential"
# Checking the shell scripts (scripts/shellcheck.sh).
lint_packages="shellcheck"
# Both the package build (git ls-files) and the other-release check (git clone) read the
# project through git.
git_packages="git"
# Building and checking the Debian package (scripts/package.sh).
package_packages="debhelper lintian appstream devscripts blhc"
# Two builds of the package at different dates (scripts/package.sh --reproducible).
reproducible_packages="faketime"
# Bare systems of other Debian releases (scripts/other-debian.sh).
other_release_packages="debootstrap"
# The fuzz targets, built with clang's libFuzzer, whose runtime (with the sanitizers') clang only
# recommends (scripts/fuzz.sh).
fuzz_packages="clang libclang-rt-dev"
