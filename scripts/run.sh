#!/usr/bin/env bash
# Installs what is missing, builds the updater and starts it against the simulated Vireo
# Interface, with the arguments given:
#
#   bash scripts/run.sh [arguments]
#
# HA_OS_VIREO chooses the simulated device (see README); unset it is "fresh", firmware 0.3.5
# at every start, so an update is offered ("HA_OS_VIREO= bash scripts/run.sh" keeps what the
# last run wrote). With DISPLAY or WAYLAND_DISPLAY set the window opens on that display and
# the exit status is the updater's (1 with the reason when that display does not open).
# Without a display (or with HA_OS_PRESENTER=0) nobody could click: the updater's job then
# runs headlessly as the screenshot walk (a real update of the simulated device and every
# error screen), whose pictures go to build/screenshots/; the exit status is the walk's.
set -uo pipefail

usage() {
  cat <<'EOF'
Usage: bash scripts/run.sh [arguments]
       bash scripts/run.sh --help

Installs what is missing, builds the updater and starts it against the simulated Vireo
Interface. With DISPLAY or WAYLAND_DISPLAY set, the wizard opens as a window on that display
and the exit status is the updater's; the arguments are handed to it, and it ignores them
(the updater has no options). Without a display, or with HA_OS_PRESENTER=0, nobody could
click: the updater's job runs headlessly as the screenshot walk instead (pictures in
build/screenshots/, arguments ignored), and the exit status is the walk's.

Environment:
  HA_OS_VIREO      the simulated device's scenario, a comma-separated list (see README);
                   unset it is "fresh": firmware 0.3.5, so an update is offered;
                   "HA_OS_VIREO= bash scripts/run.sh" keeps what the last run wrote
  HA_OS_PRESENTER  0: no window; the headless walk
  HA_OS_DEBUGGER   1: the program's debugger output on standard error

A folder named "skin" beside the executable or in the working directory replaces the
linked skin, whatever it holds: run from a folder without one.

While it runs, a second terminal acts on the simulated device:
  bash scripts/device.sh plug|unplug|power-cycle|show
EOF
}

# Answered before anything is installed or built.
case "${1:-}" in
  -h|--help) usage; exit 0 ;;
esac
# The working folder stays the caller's, so that a relative path given as an argument names
# what the caller means.
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" || exit 1
source "$root/scripts/configure.sh"

export HA_OS_VIREO="${HA_OS_VIREO-fresh}"
dir=$root/build/normal
# Configured as the test command configures it, so that both share one build.
ha_configure normal "$dir" || exit 1

if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ "${HA_OS_PRESENTER:-}" != 0 ]; then
  # With the client of device.sh, so that a hand at the device needs no build of its own.
  cmake --build "$dir" -j "$(nproc)" --target vireo-updater vireo-device || exit 1
  exec "$dir/updater/vireo-updater" "$@"
fi

if [ "${HA_OS_PRESENTER:-}" = 0 ]; then
  why="HA_OS_PRESENTER is 0"
else
  why="no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"
fi
echo "run.sh: $why, so nobody could click; running the updater headlessly through the" \
     "screenshot walk instead (pictures in build/screenshots/)." >&2
[ $# -eq 0 ] || echo "run.sh: the walk takes no arguments; ignored: $*" >&2
exec bash "$root/scripts/screenshots.sh" "$root/build/screenshots"
