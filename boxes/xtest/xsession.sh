#!/usr/bin/env bash
# xsession.sh COMMAND [ARG...]: runs COMMAND inside a desktop session of its own, so that it
# needs no display or bus from whoever calls it (CI runs as root with neither): a fresh Xvfb on
# the first free display, with a cookie only this session knows, a private session bus on which
# the accessibility bus (and its registry) start on demand, and a private runtime directory.
# XSESSION_SCREEN sets the screen's size (WIDTHxHEIGHTxDEPTH). Exits with COMMAND's status;
# everything it started is gone afterwards.
set -euo pipefail

for tool in Xvfb xauth mcookie dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "xsession.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

chmod 700 "$work"
export XAUTHORITY="$work/Xauthority" XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
export XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
cookie=$(mcookie)
touch "$XAUTHORITY"
# The server takes any cookie in its file; clients look theirs up by display, added below.
xauth -q -f "$XAUTHORITY" add :0 . "$cookie"

# -displayfd picks a free display and reports its number once the server accepts clients. Keys
# do not repeat (-r): a key that a driver stalled by a busy machine holds between its press and
# its release stays one key.
Xvfb -displayfd 3 -auth "$XAUTHORITY" -screen 0 "${XSESSION_SCREEN:-1440x560x24}" -nolisten tcp -noreset -r \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 2; }
  sleep 0.05
done
[ -s "$work/display" ] || { echo "xsession.sh: Xvfb did not start" >&2; exit 2; }
export DISPLAY=":$(head -n1 "$work/display")"
xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"

# Qt and the accessibility bus find each other through the session bus.
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
status=0
dbus-run-session -- "$@" || status=$?
exit "$status"
