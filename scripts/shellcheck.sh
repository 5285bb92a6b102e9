#!/bin/sh
# Checks every shell file that git keeps with shellcheck at its default level: each file whose
# first line starts a shell, and each sourced one, which says its shell in a directive. They are
# checked together, so that a sourced file's names are known where it is sourced.
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
# shellcheck disable=SC2086 # a list of package names
install_missing $lint_packages $git_packages

git ls-files -z | xargs -0 awk 'FNR == 1 && /^#!.*sh/ || /^# shellcheck shell=/ { print FILENAME; nextfile }' |
    tr '\n' '\0' | xargs -0 shellcheck
echo "shellcheck: every shell file is clean"
