#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only
# those that are missing. Runs apt as root directly, otherwise through sudo.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-serialport-dev qt6-connectivity-dev qt6-charts-dev
  qt6-translations-l10n  # Qt's own dialogues in the window's language
  libqt6opengl6-dev  # Qt Charts needs its CMake files; qt6-charts-dev does not pull them in
  libxlsxwriter-dev
  libmosquitto-dev mosquitto mosquitto-clients openssl
  libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth imagemagick
  python3-openpyxl
  fonts-crosextra-carlito
  dpkg-dev file lintian desktop-file-utils appstream x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
