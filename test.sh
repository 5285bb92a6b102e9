#!/bin/sh
# Installs what the game and its tests need, builds everything and runs the whole test suite
# headless, in its own X server.
#   ./test.sh             the normal build, in build-test/
#   ./test.sh --sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
set -eu
cd "$(dirname "$0")"
. scripts/deps.sh
# shellcheck disable=SC2046,SC2086 # lists of package names
install_missing $compiler_packages $(build_depends check)
dir=build-test
flags="-DCMAKE_BUILD_TYPE=RelWithDebInfo"
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-sanitize
    flags="$flags -DGRAVELMOTH_SANITIZE=ON"
    # Every report, a leak at exit included, aborts the process that made it: no test takes a
    # SIGABRT for success, whatever exit status it expects.
    export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1
fi
# shellcheck disable=SC2086 # a list of options
cmake -S . -B "$dir" $flags >/dev/null
cmake --build "$dir" -j "$(nproc)"
cd "$dir"
ctest --output-on-failure -j 4
