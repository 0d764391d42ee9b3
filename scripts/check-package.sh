#!/usr/bin/env bash
# Checks the package that package.sh built, without installing it: its Depends, its exact file
# list with Debian's owners and modes, stripped binaries, and that the program finds its private
# library from /usr/bin. Prints PASS or FAIL per check; exits non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit
deb=$(ls build/calvexa_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no build/calvexa_*.deb; run scripts/package.sh first"; exit 1; }
failed=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "PASS: $what"; else echo "FAIL: $what"; failed=1; fi
}
not() { ! "$@"; }

field() { dpkg-deb --field "$deb" "$1"; }
depends=$(field Depends)
echo "Depends: $depends"
has_depend() { [[ ", $depends," == *", $1"[\ ,]* ]]; }
version=$(sed -n 's/^project(calvexa VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
check "Package calvexa, version $version" \
  test "$(field Package) $(field Version)" = "calvexa $version"
# The font the window asks for by name; the libraries that hold Qt's xcb platform plugin and
# its SVG image plugin, loaded at run time.
for p in fonts-liberation2 libqt6gui6 libqt6svg6 libqt6widgets6 libcrypto++8; do
  check "Depends on $p" has_depend "$p"
done
builds() {
  grep -qE '(^|, )(gcc|g\+\+|cpp|cmake|ninja-build|build-essential|make)( |,|$)|-dev( |,|$)' \
    <<< "$depends"
}
check "Depends on nothing for building" not builds

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
other_dir_modes() { dpkg-deb --contents "$deb" | grep '^d' | grep -qv '^drwxr-xr-x '; }
check "Every directory 0755" not other_dir_modes
other_owners() { dpkg-deb --contents "$deb" | awk '{print $2}' | grep -qvx root/root; }
check "Everything owned by root:root" not other_owners
scripts() { dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qE '(pre|post)(inst|rm)'; }
check "No maintainer scripts" not scripts

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"
stripped() { file -b "$root/$1" | grep -q ', stripped'; }
for elf in usr/bin/calvexa usr/lib/calvexa/libcalvexa_hash.so.1.01; do
  check "$elf stripped" stripped "$elf"
done
# The run path is relative to the program, so the extracted tree behaves as /usr would.
finds_library() {
  env -u LD_LIBRARY_PATH ldd "$root/usr/bin/calvexa" |
    grep -qF "libcalvexa_hash.so.1 => $root/usr/bin/../lib/calvexa/libcalvexa_hash.so.1"
}
check "The program finds its library in ../lib/calvexa" finds_library

exit "$failed"
