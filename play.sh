#!/bin/sh
# Installs what the game needs, builds it and starts it from this folder, where gfx/ and sfx/
# are.
set -eu
cd "$(dirname "$0")"
. scripts/deps.sh
# shellcheck disable=SC2046,SC2086 # lists of package names
install_missing $compiler_packages $(build_depends nocheck)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRAVELMOTH_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target gravelmoth
exec build/gravelmoth
