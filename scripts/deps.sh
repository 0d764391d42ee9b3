# Installs the Debian packages the build, the tests and the program need, if any is missing.
# Sourced by run.sh and test.sh; needs root (or sudo) only when something is missing.
calvexa_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev
  libcrypto++-dev libboost-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation2 coreutils openssl
  # The fallback fonts Qt shapes emoji, Thai, Devanagari, Arabic and the like with.
  fonts-noto-core fonts-noto-color-emoji
  # The boxes against Qt's on a real X server (boxes/xtest): a private display, real input,
  # the X selections and the accessibility bus.
  libxcb1-dev xvfb xauth xdotool xclip dbus-daemon at-spi2-core python3-pyatspi python3-xlib
  # Input methods there: ibus with an accent engine and a Chinese one.
  ibus ibus-m17n ibus-libpinyin
)

calvexa_install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

calvexa_install_missing "${calvexa_packages[@]}"
