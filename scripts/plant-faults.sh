#!/bin/sh
# Measures the test suite, and is no part of it: plants each one-line fault of
# scripts/faults.txt in turn in a copy of the committed source, builds it and runs the whole
# suite, and prints which tests caught the fault. Run it where ./test.sh has passed (which also
# installed what the tests need). Each fault's line: its number, what it does, then the tests
# that failed, "NOTHING CAUGHT IT", or "does not build".
#   scripts/plant-faults.sh [FIRST [LAST]]   the faults by number, from 1; JOBS=4 by default
set -eu
cd "$(dirname "$0")/.."
faults=$(pwd)/scripts/faults.txt
first=${1:-1}
last=${2:-1000}
work=$(mktemp -d /tmp/gravelmoth-faults-XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

git archive HEAD | tar -xf - -C "$work" --one-top-level=source
cp -r "$work/source/src" "$work/pristine"
cmake -S "$work/source" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

number=0
grep -v '^#' "$faults" | while IFS='	' read -r file text replacement what; do
    number=$((number + 1))
    if [ "$number" -lt "$first" ] || [ "$number" -gt "$last" ]; then
        continue
    fi
    # Only the file the last fault touched is restored: its copy gets a new time, so the build
    # takes it again, and everything else stays built.
    if [ -n "${planted:-}" ]; then
        cp "$work/pristine/$(basename "$planted")" "$work/source/$planted"
    fi
    planted=$file
    TEXT=$text REPLACEMENT=$replacement perl -0777 -i -pe \
        '$n = s/\Q$ENV{TEXT}\E/$ENV{REPLACEMENT}/g; die "found $n times\n" if $n != 1' \
        "$work/source/$file"
    if ! cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1; then
        echo "$number	$what	does not build"
        continue
    fi
    caught="NOTHING CAUGHT IT"
    if ! (cd "$work/build" && ctest -j "${JOBS:-4}" --timeout 600 >"$work/ctest.log" 2>&1); then
        caught=$(cut -d: -f2 "$work/build/Testing/Temporary/LastTestsFailed.log" | paste -sd' ')
    fi
    echo "$number	$what	$caught"
done
