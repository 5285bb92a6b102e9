#!/bin/sh
# Measures the test suite, and is no part of it: plants each one-line fault of
# scripts/faults.txt in turn in a copy of the committed source (the game, the launcher, the
# generator), builds it and runs tests, and prints which caught the fault. Run it where
# ./test.sh has passed (which also installed what the tests need).
#   scripts/plant-faults.sh [FIRST [LAST]]          the whole suite once per fault
#   scripts/plant-faults.sh --listed [FIRST [LAST]] only the fault's own tests (its TESTS
#                                                   column), three times: fast, and it shows
#                                                   that they catch it every time
# Faults by number, from 1; JOBS=4 by default. Each fault's line: its number, what it does,
# then the tests that failed (in --listed mode "caught 3 of 3 by ..."), "NOTHING CAUGHT IT",
# or "does not build".
set -eu
cd "$(dirname "$0")/.."
faults=$(pwd)/scripts/faults.txt
listed=
if [ "${1:-}" = --listed ]; then
    listed=yes
    shift
fi
first=${1:-1}
last=${2:-1000}
work=$(mktemp -d /tmp/gravelmoth-faults-XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

git archive HEAD | tar -xf - -C "$work" --one-top-level=source
cp -r "$work/source" "$work/pristine"
cmake -S "$work/source" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# The tests of the last run that failed, on one line.
failed_tests() {
    cut -d: -f2 "$work/build/Testing/Temporary/LastTestsFailed.log" | paste -sd' '
}

# Runs the fault's own tests three times: how many runs caught it, and by which tests.
run_listed() { # run_listed PATTERN
    caught=0 by=
    for _ in 1 2 3; do
        if ! (cd "$work/build" && ctest -j "${JOBS:-4}" -R "$1" --timeout 600 \
            >"$work/ctest.log" 2>&1); then
            if grep -q 'No tests were found' "$work/ctest.log"; then
                echo "no test matches $1"
                return
            fi
            caught=$((caught + 1))
            by=$(failed_tests)
        fi
    done
    if [ "$caught" -eq 0 ]; then
        echo "NOTHING CAUGHT IT ($1)"
    else
        echo "caught $caught of 3 by $by"
    fi
}

number=0
grep -v '^#' "$faults" | while IFS='	' read -r file text replacement tests what; do
    number=$((number + 1))
    if [ "$number" -lt "$first" ] || [ "$number" -gt "$last" ]; then
        continue
    fi
    # Only the file the last fault touched is restored: its copy gets a new time, so the build
    # takes it again, and everything else stays built.
    if [ -n "${planted:-}" ]; then
        cp "$work/pristine/$planted" "$work/source/$planted"
    fi
    planted=$file
    TEXT=$text REPLACEMENT=$replacement perl -0777 -i -pe '
        BEGIN { ($t, $r) = map { s/\\n/\n/gr } @ENV{qw(TEXT REPLACEMENT)} }
        $n = s/\Q$t\E/$r/g; die "found $n times\n" if $n != 1' "$work/source/$file"
    if ! cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1; then
        echo "$number	$what	does not build"
        continue
    fi
    if [ -n "$listed" ]; then
        echo "$number	$what	$(run_listed "$tests")"
        continue
    fi
    caught="NOTHING CAUGHT IT"
    if ! (cd "$work/build" && ctest -j "${JOBS:-4}" --timeout 600 >"$work/ctest.log" 2>&1); then
        caught=$(failed_tests)
    fi
    echo "$number	$what	$caught"
done
