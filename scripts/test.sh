#!/usr/bin/env bash
# Installs what is missing, builds and runs every test twice: a normal build
# and one with AddressSanitizer and UndefinedBehaviorSanitizer; then the updater's
# tests once more with ThreadSanitizer; last the fuzz targets for a short time.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || exit 1
source scripts/configure.sh

jobs=$(nproc)
status=0
build() { # kind (scripts/configure.sh), built in build/<kind>
  ha_configure "$1" "build/$1" || return 1
  cmake --build "build/$1" -j "$jobs" || return 1
}
run_tests() { # name
  (cd "build/$1" && ctest --output-on-failure -j "$jobs" --timeout 300)
}

echo "== normal build"
if build normal; then run_tests normal || status=1; else status=1; fi

echo "== sanitizer build (address, undefined)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if build sanitize; then run_tests sanitize || status=1; else status=1; fi

# Tests that start a second thread (the download worker, posts from other threads, the
# display's wake-up) run once more under ThreadSanitizer: the updater's tests, and every test
# whose suite name ends in "Threaded".
echo "== thread sanitizer build (threaded tests)"
export TSAN_OPTIONS=halt_on_error=1
if build tsan; then
  (cd build/tsan && ctest --output-on-failure -j "$jobs" --timeout 300 -L updater &&
                    ctest --output-on-failure -j "$jobs" --timeout 300 -R 'Threaded\.') || status=1
else
  status=1
fi

# The libFuzzer targets of fuzz/, built with clang in build/fuzz, about 20 s each, several at
# once; a finding fails the run and leaves its input in build/fuzz/findings/.
echo "== fuzz targets (clang, libFuzzer)"
bash scripts/fuzz.sh 20 || status=1

exit $status
