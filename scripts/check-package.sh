#!/usr/bin/env bash
# Checks the package that package.sh built, without installing it: its Depends, its exact file
# list with Debian's owners and modes, stripped binaries, and that the program finds its private
# library from /usr/bin. Prints PASS or FAIL per check; exits non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
deb=$(ls build/calvexa_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no build/calvexa_*.deb; run scripts/package.sh first"; exit 1; }
failed=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "PASS: $what"; else echo "FAIL: $what"; failed=1; fi
}

field() { dpkg-deb --field "$deb" "$1"; }
depends=$(field Depends)
echo "Depends: $depends"
has_depend() { [[ ", $depends," == *", $1"[\ ,]* ]]; }
check "Package calvexa, version of the project" \
  test "$(field Package) $(field Version)" = "calvexa $(sed -n 's/^project(calvexa VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)"
# The font the window asks for by name; the libraries that hold Qt's xcb platform plugin and
# its SVG image plugin, loaded at run time.
for p in fonts-liberation2 libqt6gui6 libqt6svg6 libqt6widgets6 libcrypto++8; do
  check "Depends on $p" has_depend "$p"
done
check "Depends on nothing for building" \
  bash -c '! grep -qE "(^|, )(gcc|g\+\+|cpp|cmake|ninja-build|build-essential|make)( |,|$)|-dev( |,|$)" <<< "$1"' _ "$depends"

expected="./usr/bin/calvexa 755
./usr/lib/calvexa/libcalvexa_hash.so.1 link
./usr/lib/calvexa/libcalvexa_hash.so.1.01 644
./usr/share/applications/io.github.calvexa.Calvexa.desktop 644
./usr/share/doc/calvexa/changelog.gz 644
./usr/share/doc/calvexa/copyright 644
./usr/share/icons/hicolor/16x16/apps/calvexa.png 644
./usr/share/icons/hicolor/32x32/apps/calvexa.png 644
./usr/share/icons/hicolor/scalable/apps/calvexa.svg 644
./usr/share/man/man1/calvexa.1.gz 644
./usr/share/metainfo/io.github.calvexa.Calvexa.metainfo.xml 644"
# Files with their modes (symbolic links as "link"); directories must all be 0755.
files=$(dpkg-deb --contents "$deb" | awk '
  $1 ~ /^-/ { m = 0; for (i = 2; i <= 10; i++) m = m * 2 + (substr($1, i, 1) != "-");
              printf "%s %o\n", $6, m }
  $1 ~ /^l/ { print $6, "link" }' | sort)
check "File list and modes as expected" diff <(echo "$expected") <(echo "$files")
check "Every directory 0755" \
  bash -c '! dpkg-deb --contents "$1" | grep "^d" | grep -qv "^drwxr-xr-x "' _ "$deb"
check "Everything owned by root:root" \
  bash -c '! dpkg-deb --contents "$1" | awk "{print \$2}" | grep -qvx root/root' _ "$deb"
check "No maintainer scripts" \
  bash -c '! dpkg-deb --ctrl-tarfile "$1" | tar -t | grep -qE "(pre|post)(inst|rm)"' _ "$deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"
for elf in usr/bin/calvexa usr/lib/calvexa/libcalvexa_hash.so.1.01; do
  check "$elf stripped" bash -c 'file -b "$1" | grep -q ", stripped"' _ "$root/$elf"
done
# The run path is relative to the program, so the extracted tree behaves as /usr would.
check "The program finds its library in ../lib/calvexa" \
  bash -c 'env -u LD_LIBRARY_PATH ldd "$1/usr/bin/calvexa" |
           grep -qF "libcalvexa_hash.so.1 => $1/usr/bin/../lib/calvexa/libcalvexa_hash.so.1"' _ "$root"

exit "$failed"
