#!/usr/bin/env bash
# Builds the Debian package build/calvexa_<version>_<arch>.deb from the same build as test.sh
# and validates it: lintian, desktop-file-validate and appstreamcli must have nothing to say.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# dpkg-shlibdeps computes the Depends; the rest check the package and its metadata.
calvexa_install_missing dpkg-dev file lintian desktop-file-utils appstream

cmake -S . -B build -G Ninja
cmake --build build
rm -f build/calvexa_*.deb
(cd build && cpack -G DEB)
deb=$(ls build/calvexa_*.deb)

# CPack gives any package with a library under /usr/lib maintainer scripts that run ldconfig,
# but the loader never searches /usr/lib/calvexa (the program's run path finds the library
# there), so the package needs no scripts at all: unpack, drop them, pack again as root's.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb --raw-extract "$deb" "$work/root"
rm -f "$work/root/DEBIAN/postinst" "$work/root/DEBIAN/postrm"
dpkg-deb --root-owner-group --build "$work/root" "$deb" > /dev/null

echo "Checking $deb"
# Informational tags are shown too; a warning or an error fails the build.
lintian --display-info --fail-on error,warning "$deb"
# The desktop entry and the metainfo as the package ships them.
share=$work/root/usr/share
findings=$(desktop-file-validate "$share/applications/io.github.calvexa.Calvexa.desktop" 2>&1) ||
  true
if [ -n "$findings" ]; then
  echo "$findings"; exit 1
fi
appstreamcli validate --no-net --explain "$share/metainfo/io.github.calvexa.Calvexa.metainfo.xml"
echo "Built $deb"
