#!/usr/bin/env bash
# Screen readers through AT-SPI as on a desktop: a private X server, a private session bus with
# the accessibility bus on it, the program and a window of Qt's own boxes, and atspi_test.py
# reading and driving both. Needs no display or session of its own.
#   run_atspi.sh PROGRAM REFERENCE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Inside the session bus: the accessibility bus, then the test, which starts both windows once it
# listens (a bridge started earlier may not hear that someone does).
if [ "${1:-}" = --in-session ]; then
  work=$4
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus.log" 2>&1 &
  bus=$!
  trap 'kill "$bus" 2>/dev/null || true' EXIT
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    /usr/bin/python3 "$here/atspi_test.py" "$2" "$3" "$work"
  exit
fi

program=$1 reference=$2
work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"

# The X server picks a free display and writes its number once it accepts connections. The
# screen is tall enough for the two windows one above the other.
Xvfb -displayfd 3 -screen 0 1280x1600x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 300); do
  grep -q '^[0-9]' "$work/display" 2>/dev/null && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '^[0-9]' "$work/display"; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS

status=0
dbus-run-session -- bash "$0" --in-session "$program" "$reference" "$work" || status=$?
if [ "$status" -ne 0 ]; then
  for log in program reference bus xvfb; do
    echo "--- $log:" >&2
    tail -n 20 "$work/$log.log" >&2 || true
  done
fi
exit "$status"
