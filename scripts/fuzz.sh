#!/bin/sh
# Builds the fuzz targets of tests/fuzz with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/, runs each over every input of its corpus and then
# fuzzes each for a while. Any crash, timeout, leak or out-of-memory fails; the input that did it
# is kept in build-fuzz/artifacts/, to be mended and then committed to the target's corpus.
#   scripts/fuzz.sh [SECONDS]   seconds of fuzzing for each target (60)
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
# shellcheck disable=SC2046,SC2086 # lists of package names
install_missing $compiler_packages $(build_depends nocheck) $fuzz_packages
seconds=${1:-60}
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGRAVELMOTH_FUZZ=ON -DGRAVELMOTH_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)"
artifacts=$PWD/$dir/artifacts
mkdir -p "$artifacts"
# What the fuzzing adds to a corpus goes to a scratch folder, and so do the files the targets
# write; the committed corpus stays as it is.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
# No input takes seconds, and no file of a few bytes may cost tens of MB.
limits="-timeout=10 -rss_limit_mb=512 -malloc_limit_mb=64"
while read -r fuzzer corpus seeds; do
    name=$(basename "$fuzzer")
    echo "== $name: every input of its corpus"
    # shellcheck disable=SC2086 # a list of options; seeds may be missing
    "$fuzzer" $limits -runs=0 "$corpus" $seeds
    echo "== $name: $seconds seconds of fuzzing"
    mkdir "$scratch/$name"
    # shellcheck disable=SC2086
    "$fuzzer" $limits -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "$scratch/$name" "$corpus" $seeds
done <"$dir/tests/fuzz/targets.txt"
echo "== fuzzing found nothing"
