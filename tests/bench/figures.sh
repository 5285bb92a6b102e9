#!/bin/sh
# Measures the figures of docs/performance.md: builds the game and its benchmark in Release
# (-O2) in BUILD-DIR (default build-bench), runs the benchmark in an X server of its own (a
# 1920x1080 screen, for the full-screen window) with
# repetitions, then the start-up probe, and prints the machine they ran on.
#   tests/bench/figures.sh [BUILD-DIR [REPETITIONS]]
set -eu
cd "$(dirname "$0")/../.."
dir=${1:-build-bench}
repetitions=${2:-10}

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
cmake --build "$dir" -j 2 --target gravelmoth race_bench startup_probe >/dev/null

echo "== machine"
echo "cores: $(nproc)"
sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | sort | uniq -c
sed -n 's/^MemTotal:[[:space:]]*//p' /proc/meminfo
echo "load: $(cut -d ' ' -f 1-3 /proc/loadavg)"

echo "== benchmark"
XVFB_SCREEN=1920x1080x24 tests/xvfb.sh own "$dir/tests/bench/race_bench" \
    --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true 2>&1 |
    grep -v "^ALSA lib"
echo "== start-up"
tests/bench/startup.sh "$dir/gravelmoth" "$dir/tests/bench/startup_probe" . 7
