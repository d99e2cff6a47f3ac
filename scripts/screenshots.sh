#!/usr/bin/env bash
# Builds and runs only the screenshot walk: the real updater, driven by clicks through every
# screen against the simulated device (the update from 0.3.5 to 0.3.6 and each error), one
# 627 x 335 PNG per state, written into the folder (default docs/screenshots/, the pictures
# the walk test compares with; change the look on purpose only together with them).
#
#   bash scripts/screenshots.sh [folder]
#
# Prints each state's file; the exit status is the walk's.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || exit 1
source scripts/configure.sh

out=${1:-docs/screenshots}
mkdir -p "$out" || exit 1
out=$(cd "$out" && pwd)
dir=build/normal
ha_configure normal "$dir" || exit 1
cmake --build "$dir" -j "$(nproc)" --target updater_tests || exit 1
cd "$dir/updater" && HA_SCREENSHOT_DIR="$out" ./updater_tests --gtest_filter='*ScreenshotWalkThreaded.*' --gtest_brief=1
