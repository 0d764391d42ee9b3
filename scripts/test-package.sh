#!/usr/bin/env bash
# Tries the package built by package.sh on a clean Debian 12: makes a bookworm minbase root with
# debootstrap, installs the package there with apt, checks what came with it, runs the installed
# program offscreen and under Xvfb (a text hashed through its window), removes the package and
# checks that nothing of it is left. Prints PASS or FAIL per check; exits non-zero if any failed.
# Run by hand, as root, with a Debian mirror reachable; it takes a few minutes. apt's and
# debootstrap's output goes to build/test-package.log.
set -uo pipefail
cd "$(dirname "$0")/.." || exit
[ "$(id -u)" -eq 0 ] || { echo "FAIL: needs root (debootstrap, chroot, mounts)"; exit 1; }
deb=$(ls build/calvexa_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no build/calvexa_*.deb; run scripts/package.sh first"; exit 1; }
log=$PWD/build/test-package.log
: > "$log"

command -v debootstrap > /dev/null || {
  apt-get update -qq >> "$log" 2>&1
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap \
    >> "$log" 2>&1
} || { echo "FAIL: debootstrap cannot be installed (see $log)"; exit 1; }

# The host's own Debian mirror, if it names one; debootstrap's default otherwise.
mirror=${CALVEXA_MIRROR:-$(
  { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | awk '{print $2}'; } |
    grep '/debian/\?$' | head -n 1)}

root=$(mktemp -d /var/tmp/calvexa-root.XXXXXX)
chmod 755 "$root"  # its / for the test user
failed=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failed=1; }
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
mounted() { awk -v r="$root" '$2 == r || index($2, r "/") == 1 {print $2}' /proc/mounts; }
cleanup() {
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2> /dev/null
  [ -n "${app:-}" ] && kill "$app" 2> /dev/null
  # Innermost first; nothing is deleted while anything is still mounted under the root.
  mounted | sort -r | while read -r m; do umount "$m" || umount -l "$m"; done
  if [ -z "$(mounted)" ]; then
    rm -rf --one-file-system "$root"
  else
    echo "still mounted, left in place: $root"
  fi
}
trap cleanup EXIT
# Programs run in the root with a clean environment, as root or as the test user. Programs left
# running are started with chroot itself in the background, so $! is their own pid.
root_env=(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8)
user_env=(env -i PATH=/usr/bin:/bin HOME=/home/tester LANG=C.UTF-8
          XDG_RUNTIME_DIR=/tmp/runtime-tester)
in_root() { chroot "$root" "${root_env[@]}" "$@"; }
as_user() { chroot --userspec="$tester" "$root" "${user_env[@]}" "$@"; }
apt_in_root() { in_root env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@" >> "$log" 2>&1; }

echo "Debian 12 minbase root in $root from ${mirror:-the default mirror of debootstrap}"
if ! debootstrap --variant=minbase bookworm "$root" ${mirror:+"$mirror"} >> "$log" 2>&1; then
  fail "debootstrap (see $log)"; exit 1
fi
# debootstrap made the device nodes; the programs want /proc and shared memory besides.
mount -t proc proc "$root/proc"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
in_root useradd --create-home tester
in_root install -d -m 700 -o tester -g tester /tmp/runtime-tester
tester=$(in_root id -u tester):$(in_root id -g tester)

in_root dpkg-query -W -f '${Package}\n' | sort > "$root/tmp/before"
cp "$deb" "$root/tmp/"
name=$(basename "$deb")
# Without recommended packages: what Depends names must be enough on its own.
if apt_in_root update && in_root sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive \
     apt-get install -y -q --no-install-recommends ./$name" >> "$log" 2>&1; then
  pass "apt-get install ./$name"
else
  fail "apt-get install ./$name (see $log)"; exit 1
fi
in_root dpkg-query -W -f '${Package}\n' | sort > "$root/tmp/after"
came=$(comm -13 "$root/tmp/before" "$root/tmp/after")
echo "came with it: $(echo "$came" | wc -l) packages (listed in the log)"
{ echo "Packages that came with calvexa:"; echo "$came"; } >> "$log"
builders=$(echo "$came" | grep -E '^(gcc|g\+\+|cpp|clang|llvm)(-[0-9.]+)?$|-dev$|'\
'^(binutils.*|make|cmake.*|ninja-build|build-essential)$')
check "no compiler, CMake or development package came with it${builders:+: $builders}" \
  test -z "$builders"
installed() { in_root dpkg-query -W -f '${Status}' "$1" 2> /dev/null | grep -q 'ok installed'; }
check "fonts-liberation2 installed" installed fonts-liberation2
in_root dpkg -L calvexa > "$root/tmp/calvexa.list"

# Offscreen: still running after 3 s, nothing on its error output.
chroot --userspec="$tester" "$root" "${user_env[@]}" QT_QPA_PLATFORM=offscreen calvexa \
  2> "$root/tmp/offscreen.err" &
app=$!
sleep 3
if kill -0 "$app" 2> /dev/null && [ ! -s "$root/tmp/offscreen.err" ]; then
  pass "installed program runs offscreen for 3 s, nothing on its error output"
else
  fail "installed program offscreen:"; cat "$root/tmp/offscreen.err"
fi
kill "$app" 2> /dev/null; wait "$app" 2> /dev/null; app=

# Under X: Ctrl+Tab from the tab strip to Hash, Tab into the input box, type, Tab to MD5
# (keyboard order: input, result, MD2, MD4, MD5), press it, back to the result box and copy it.
apt_in_root install --no-install-recommends xvfb xdotool xclip
text="Calvexa 1.01 hashes this"
expected=$(printf '%s' "$text" | md5sum | cut -d' ' -f1)
# The root shares the host's network, and so its X display names: Xvfb picks a free one.
chroot "$root" "${root_env[@]}" Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp \
  > "$root/tmp/display" 2>> "$log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$root/tmp/display" ] && break; sleep 0.2; done
display=:$(head -n 1 "$root/tmp/display")
x() { as_user env DISPLAY="$display" "$@"; }
chroot --userspec="$tester" "$root" "${user_env[@]}" DISPLAY="$display" calvexa \
  2> "$root/tmp/x11.err" &
app=$!
window=$(x timeout 20 xdotool search --sync --name '^Calvexa - v1\.01')
got=""
if [ -n "$window" ]; then
  echo "Qt plugins the program loaded under X:" \
    "$(grep -o 'qt6/plugins/[^ ]*' "/proc/$app/maps" | sed 's|qt6/plugins/||' | sort -u | xargs)"
  x xdotool windowfocus --sync "$window"
  sleep 0.5
  x xdotool key --delay 100 ctrl+Tab Tab
  x xdotool type --delay 50 "$text"
  x xdotool key --delay 100 Tab Tab Tab Tab space shift+Tab shift+Tab shift+Tab ctrl+a ctrl+c
  sleep 0.5
  got=$(x timeout 5 xclip -o -selection clipboard)
fi
check "MD5 of \"$text\" through the window under Xvfb: ${got:-nothing} (md5sum: $expected)" \
  test "$got" = "$expected"
if [ -s "$root/tmp/x11.err" ]; then
  fail "installed program under X wrote to its error output:"; cat "$root/tmp/x11.err"
else
  pass "installed program under X: nothing on its error output"
fi
kill "$app" 2> /dev/null; wait "$app" 2> /dev/null; app=
kill "$xvfb" 2> /dev/null; wait "$xvfb" 2> /dev/null; xvfb=
# Only the package itself is left to remove.
apt_in_root remove --purge --autoremove xvfb xdotool xclip

check "apt-get remove calvexa" apt_in_root remove calvexa
# Every file gone; every directory too, unless another package owns it or it holds other files.
left=$(while read -r path; do
  p="$root$path"
  if [ -d "$p" ] && [ ! -L "$p" ]; then
    [ -z "$(ls -A "$p")" ] && ! in_root dpkg -S "$path" > /dev/null 2>&1 && echo "$path"
  elif [ -e "$p" ] || [ -L "$p" ]; then
    echo "$path"
  fi
done < "$root/tmp/calvexa.list")
check "nothing of the package left after removal${left:+: $(echo "$left" | xargs)}" test -z "$left"

[ "$failed" -eq 0 ] && echo "PASS: all" || echo "FAIL: some checks failed"
exit "$failed"
