#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed program there, offscreen:
# it must still be running after 3 seconds with nothing on its error output.
set -euo pipefail
build="$1"
prefix=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

for file in bin/calvexa share/applications/io.github.calvexa.Calvexa.desktop \
            share/metainfo/io.github.calvexa.Calvexa.metainfo.xml share/man/man1/calvexa.1.gz \
            share/icons/hicolor/16x16/apps/calvexa.png share/icons/hicolor/32x32/apps/calvexa.png \
            share/icons/hicolor/scalable/apps/calvexa.svg; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
ls "$prefix"/lib*/calvexa/libcalvexa_hash.so.* > /dev/null

mkdir -m 700 "$prefix/runtime"
# Nothing from the build tree may be used: no library path, and a working directory elsewhere.
cd "$prefix"
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$prefix/runtime" \
  "$prefix/bin/calvexa" 2> "$prefix/stderr" &
pid=$!
sleep 3
if ! kill -0 "$pid" 2>/dev/null; then
  echo "the installed program ended early:"; cat "$prefix/stderr"; exit 1
fi
if [ -s "$prefix/stderr" ]; then
  echo "the installed program wrote to its error output:"; cat "$prefix/stderr"; exit 1
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "installed program ran for 3 s, nothing on its error output"
