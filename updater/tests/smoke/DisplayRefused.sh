#!/usr/bin/env bash
# The updater started with a display that does not open ends at once with status 1 and says
# in one line which display, why, and what runs without one, instead of running a window
# nobody can see or close.
# With "compositor" the display is the Wayland compositor that WAYLAND_DISPLAY names, one
# without a seat, on which the display library would end the process.
#   DisplayRefused.sh <vireo-updater> [compositor]
set -u
program=$1
state=$(mktemp -d) || exit 1
trap 'rm -rf "$state"' EXIT
if [ "${2:-}" = compositor ]; then
  display=(-u DISPLAY "WAYLAND_DISPLAY=$WAYLAND_DISPLAY")
  expected="the display WAYLAND_DISPLAY=\"$WAYLAND_DISPLAY\" does not open (wayland: its compositor offers no seat"
else
  display=(-u WAYLAND_DISPLAY DISPLAY=:987654)
  expected='the display DISPLAY=":987654" does not open (x11: '
fi
# A sanitizer build's leak report of the display library's suppressed leftovers is no line of
# the program's.
out=$(env -u HA_OS_PRESENTER "${display[@]}" LSAN_OPTIONS="${LSAN_OPTIONS:-}:print_suppressions=0" XDG_STATE_HOME="$state" \
      XDG_RUNTIME_DIR="$state" timeout 60 "$program" 2>&1)
status=$?
printf '%s\n' "$out"
if [ "$status" -ne 1 ]; then
  echo "expected exit status 1, got $status"
  exit 1
fi
if [ "$(printf '%s\n' "$out" | wc -l)" -ne 1 ]; then
  echo "expected one line on standard error"
  exit 1
fi
for line in "$expected" \
            'without a display (DISPLAY and WAYLAND_DISPLAY unset) scripts/run.sh runs the screenshot walk'; do
  if ! printf '%s\n' "$out" | grep -qF "$line"; then
    echo "missing on standard error: $line"
    exit 1
  fi
done
