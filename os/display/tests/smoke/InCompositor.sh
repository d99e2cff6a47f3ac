#!/usr/bin/env bash
# Runs a command inside a Wayland compositor: weston on the X server that DISPLAY names
# (backend x11, a compositor with a seat, whose output the command reads back from that
# server) or without any (backend headless, a compositor without a seat). The command sees
# WAYLAND_DISPLAY as the socket's full path, so that a run folder of its own does not lose it,
# and keeps DISPLAY. Exit status 77 with a line when weston is not installed.
#   InCompositor.sh x11|headless <command> [<argument>...]
set -u
backend=$1
shift
if ! command -v weston > /dev/null; then
  echo "skipped: weston is not installed (scripts/packages.txt names it)"
  exit 77
fi
runtime=$(mktemp -d) || exit 1
chmod 700 "$runtime"
XDG_RUNTIME_DIR=$runtime weston --no-config --backend="$backend-backend.so" --use-pixman --idle-time=0 \
  --socket=wayland-smoke > "$runtime/weston.log" 2>&1 &
compositor=$!
# The socket comes once the backend and its seat are there; at most 60 s on a busy machine.
for _ in $(seq 600); do
  [ -S "$runtime/wayland-smoke" ] && break
  kill -0 "$compositor" 2> /dev/null || break
  sleep 0.1
done
status=1
if [ -S "$runtime/wayland-smoke" ]; then
  WAYLAND_DISPLAY=$runtime/wayland-smoke "$@"
  status=$?
else
  echo "weston did not start"
fi
kill "$compositor" 2> /dev/null
wait "$compositor"
if [ "$status" -ne 0 ]; then
  echo "weston's log:"
  cat "$runtime/weston.log"
fi
rm -rf "$runtime"
exit "$status"
