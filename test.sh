#!/bin/sh
# Installs what the game and its tests need, builds everything and runs the whole test suite
# headless, in its own X server.
#   ./test.sh             the normal build, in build-test/
#   ./test.sh --sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
set -eu
cd "$(dirname "$0")"
. scripts/deps.sh
install_missing $build_packages $test_packages
dir=build-test
flags="-DCMAKE_BUILD_TYPE=RelWithDebInfo"
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-sanitize
    flags="$flags -DGRAVELMOTH_SANITIZE=ON"
fi
cmake -S . -B "$dir" $flags >/dev/null
cmake --build "$dir" -j "$(nproc)"
cd "$dir"
ctest --output-on-failure -j 2
