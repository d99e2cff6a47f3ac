#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build/fuzz and runs each for a fixed
# time, several at once. A target that finds something (crash, sanitizer report, leak, time-out,
# memory limit) fails the run; its input is left in build/fuzz/findings/ and its log in
# build/fuzz/logs/. Inputs that reach new code are kept in build/fuzz/corpus/ for the next run.
#
#   bash scripts/fuzz.sh [seconds per target, default 60] [target names, default all]
#   e.g. bash scripts/fuzz.sh 600 jpeg png
# A finding is replayed with: build/fuzz/fuzzers/fuzz_<name> build/fuzz/findings/<file>
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || exit 1
source scripts/configure.sh

seconds=${1:-60}
shift || true
out=build/fuzz
jobs=$(nproc)
[ "$jobs" -gt 8 ] && jobs=8

ha_configure fuzz "$out" || exit 1
cmake --build "$out" -j "$(nproc)" --target fuzzers || exit 1
rm -rf "$out/seeds"
ASAN_OPTIONS=detect_leaks=0 "$out/MakeFuzzSeeds" "$out/seeds" || exit 1
mkdir -p "$out/findings" "$out/logs" "$out/corpus"

if [ $# -gt 0 ]; then names=("$@"); else
  names=()
  for exe in "$out"/fuzzers/fuzz_*; do names+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi

# One target: its own corpus first (libFuzzer adds to it), then the seeds.
run_one() { # name
  local name=$1 exe="$out/fuzzers/fuzz_$1" seeds=()
  [ -x "$exe" ] || { echo "no fuzz target '$name'" >"$out/logs/$name.log"; return 1; }
  mkdir -p "$out/corpus/$name"
  [ -d "$out/seeds/$name" ] && seeds+=("$out/seeds/$name")
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/findings/$name-" "$out/corpus/$name" "${seeds[@]}" >"$out/logs/$name.log" 2>&1
}

declare -A pids
for name in "${names[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run_one "$name" &
  pids[$name]=$!
done

status=0
for name in "${names[@]}"; do
  if wait "${pids[$name]}"; then
    echo "fuzz $name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/logs/$name.log" | grep -o '[0-9]*$') runs, nothing found"
  else
    status=1
    echo "fuzz $name: FINDING (log $out/logs/$name.log)"
    grep -E '^==[0-9]+==ERROR|SUMMARY|runtime error|fuzz check failed|Test unit written' "$out/logs/$name.log" | head -8
  fi
done
exit $status
