#!/usr/bin/env bash
# Builds the Debian package zt-logger_<version>_<arch>.deb: a Release build
# with Debian's hardening flags, only what the package needs (no tests), then
# cpack. Prints the package's path as the last line.
#   ZT_PACKAGE_BUILD  build folder (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

BUILD=${ZT_PACKAGE_BUILD:-build/package}
# The flags Debian builds its own packages with: stack protector, fortified
# functions, read-only relocations, immediate binding.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
# Debug information would only be stripped again.
CXXFLAGS=$(echo " $CXXFLAGS " | sed -e 's/ -g / /g')
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS

source scripts/ccache-env.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZT_BUILD_TESTS=OFF -DZT_BUILD_BENCH=OFF -DZT_BUILD_FUZZ=OFF "${ZT_LAUNCHER[@]}" > /dev/null
cmake --build "$BUILD" -j "$(nproc)"

rm -f "$BUILD"/*.deb
(cd "$BUILD" && cpack -G DEB > cpack.log) || { cat "$BUILD/cpack.log" >&2; exit 1; }
debs=("$BUILD"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "cpack made no single .deb" >&2; cat "$BUILD/cpack.log" >&2; exit 1; }
realpath "${debs[0]}"
