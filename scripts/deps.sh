# shellcheck shell=sh
# The lists are read by the scripts that source this file.
# shellcheck disable=SC2034
# Installs the Debian packages named in $@ that are not installed yet; sourced by play.sh and
# test.sh. Uses sudo unless run as root.
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

build_packages="g++ cmake make pkg-config liballegro4-dev"
# The asset generator, built with the tests, writes its files through these; the game needs
# neither.
generator_packages="libpng-dev libsndfile1-dev"
test_packages="xvfb xauth xdotool libgtest-dev libbenchmark-dev libx11-dev imagemagick desktop-file-utils"
# Checking the shell scripts (scripts/shellcheck.sh).
lint_packages="shellcheck"
# Building and checking the Debian package (scripts/package.sh).
package_packages="git build-essential debhelper dpkg-dev lintian appstream devscripts blhc"
# Two builds of the package at different dates (scripts/package.sh --reproducible).
reproducible_packages="faketime"
# Bare systems of other Debian releases (scripts/other-debian.sh).
other_release_packages="git debootstrap"
