#!/usr/bin/env bash
# Screen readers through AT-SPI as on a desktop: atspi_test.py reads and drives the program and
# a window of Qt's own boxes in a desktop session of its own (xsession.sh), on a screen tall
# enough for the two windows one above the other. Their output is shown if the test fails.
#   run_atspi.sh PROGRAM REFERENCE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

status=0
XSESSION_SCREEN=1280x1600x24 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
  bash "$here/xsession.sh" /usr/bin/python3 "$here/atspi_test.py" "$1" "$2" "$logs" || status=$?
if [ "$status" -ne 0 ]; then
  for log in program reference; do
    echo "--- $log:" >&2
    tail -n 20 "$logs/$log.log" >&2 || true
  done
fi
exit "$status"
