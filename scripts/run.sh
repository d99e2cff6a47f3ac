#!/usr/bin/env bash
# Installs what is missing, builds the updater and starts it against the simulated Vireo
# Interface, with the arguments given:
#
#   bash scripts/run.sh [arguments]
#
# HA_OS_VIREO chooses the simulated device (see README); unset it is "fresh", firmware 0.3.5
# at every start, so an update is offered ("HA_OS_VIREO= bash scripts/run.sh" keeps what the
# last run wrote). With DISPLAY or WAYLAND_DISPLAY set the window opens on that display and
# the exit status is the updater's. Without a display nobody could click: the updater's job
# then runs headlessly as the screenshot walk (a real update of the simulated device and
# every error screen), whose pictures go to build/screenshots/; the exit status is the walk's.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || exit 1

export HA_OS_VIREO="${HA_OS_VIREO-fresh}"
dir=build/normal
# Configured as the test command configures it, so that both share one build.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHA_SANITIZE=OFF >/dev/null || exit 1

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build "$dir" -j "$(nproc)" --target vireo-updater || exit 1
  exec "$dir/updater/vireo-updater" "$@"
fi

echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so nobody could click;" \
     "running the updater headlessly through the screenshot walk instead (pictures in build/screenshots/)." >&2
exec bash scripts/screenshots.sh build/screenshots
