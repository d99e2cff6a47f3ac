#!/usr/bin/env bash
# Does to the simulated Vireo Interface of the updater that runs for this user (started with
# run.sh) what a person's hand does to the real one:
#
#   bash scripts/device.sh plug|unplug|power-cycle|show
#
# plug attaches it (an attached one says so), unplug pulls it out (also during a download),
# power-cycle unplugs it and plugs it in again, show says whether it is attached, its mode,
# firmware, serial number and the faults in force. Each answer is one line; without a running
# updater, or for a request it does not know, the status is 1. The client is built on demand
# in build/normal (HA_BUILD_DIR names another build folder).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${HA_BUILD_DIR:-$root/build/normal}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  bash "$root/scripts/setup.sh" >&2 || exit 1
  source "$root/scripts/configure.sh"
  ha_configure normal "$dir" || exit 1
fi
if ! log=$(cmake --build "$dir" --target vireo-device 2>&1); then
  printf '%s\n' "$log" >&2
  echo "device.sh: the client could not be built" >&2
  exit 1
fi
exec "$dir/os/vireo-device" "$@"
