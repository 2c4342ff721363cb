#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it without
# installing it: metadata and contents, lintian, the desktop entry and the
# AppStream data, then the packaged program run from the unpacked package:
# --version without a display, and its window on a virtual display, started
# by the desktop entry's command from a folder without language files.
# Leaves a screenshot of that window next to the package.
set -euo pipefail
cd "$(dirname "$0")/.."

DEB=$(bash scripts/package.sh | tail -1)
VERSION=$(sed -n 's/^project(zt_logger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
ARCH=$(dpkg --print-architecture)
ID=io.github.ztlogger.ZtLogger
fail() { echo "package check: $*" >&2; exit 1; }
echo "checking $DEB"

# ---- metadata ----
[ "$(basename "$DEB")" = "zt-logger_${VERSION}_${ARCH}.deb" ] || fail "file name $(basename "$DEB")"
[ "$(dpkg-deb -f "$DEB" Package)" = zt-logger ] || fail "package name"
[ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION" ] || fail "version $(dpkg-deb -f "$DEB" Version), project $VERSION"
[ "$(dpkg-deb -f "$DEB" Architecture)" = "$ARCH" ] || fail "architecture"
depends=$(dpkg-deb -f "$DEB" Depends)
# Found by dpkg-shlibdeps, plus the platform plugin and Qt's translations it cannot see.
for d in libc6 libqt6core6 libqt6widgets6 libqt6serialport6 libqt6bluetooth6 libxlsxwriter libmosquitto1 qt6-qpa-plugins qt6-translations-l10n; do
  grep -q "\b$d" <<< "$depends" || fail "Depends lacks $d: $depends"
done
dpkg-deb -f "$DEB"

# ---- contents ----
contents=$(dpkg-deb -c "$DEB" | awk '{print $6}')
expected=(
  ./usr/bin/zt-logger
  ./usr/bin/zt-record
  ./usr/share/zt-logger/lang/eng.lng
  ./usr/share/applications/$ID.desktop
  ./usr/share/metainfo/$ID.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/$ID.svg
  ./usr/share/man/man1/zt-logger.1.gz
  ./usr/share/man/man1/zt-record.1.gz
  ./usr/share/doc/zt-logger/copyright
  ./usr/share/doc/zt-logger/changelog.gz
  ./usr/lib/udev/rules.d/70-zt-logger.rules
)
for n in 16 32 48 64 128 256; do expected+=("./usr/share/icons/hicolor/${n}x${n}/apps/$ID.png"); done
for f in "${expected[@]}"; do grep -qxF "$f" <<< "$contents" || fail "missing $f"; done
files=$(dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ {print $6}')
[ "$(wc -l <<< "$files")" -eq "${#expected[@]}" ] || fail "unexpected files: $(grep -vxF "$(printf '%s\n' "${expected[@]}")" <<< "$files")"
echo "contents: ${#expected[@]} files as expected"

# ---- lintian: no errors ----
lintian --fail-on error "$DEB" || fail "lintian reports errors"
echo "lintian: no errors"

# ---- the unpacked package ----
T=$(mktemp -d)
PID=""
cleanup() {
  [ -n "$PID" ] && kill "$PID" 2> /dev/null || true
  rm -rf "$T"
}
trap cleanup EXIT
dpkg -x "$DEB" "$T/root"
desktop-file-validate "$T/root/usr/share/applications/$ID.desktop"
appstreamcli validate --no-net "$T/root/usr/share/metainfo/$ID.metainfo.xml"
for usb in 'ATTRS{idVendor}=="0451", ATTRS{idProduct}=="16aa"' 'ATTRS{idVendor}=="10c4", ATTRS{idProduct}=="ea60"'; do
  grep -F "$usb" "$T/root/usr/lib/udev/rules.d/70-zt-logger.rules" | grep -qF 'TAG+="uaccess"' || fail "udev rule for $usb"
done

BIN="$T/root/usr/bin"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$BIN/zt-logger" --version)
[ "$out" = "zt-logger $VERSION" ] || fail "--version says '$out'"
echo "--version: $out"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$BIN/zt-record" --version)
[ "$out" = "zt-record $VERSION" ] || fail "zt-record --version says '$out'"
echo "--version: $out"

# The desktop entry's command, as a menu starts it: from the home folder,
# which holds no lang/; the program finds the unpacked share/zt-logger.
EXEC=$(sed -n 's/^Exec=//p' "$T/root/usr/share/applications/$ID.desktop")
[ "$EXEC" = zt-logger ] || fail "unexpected Exec=$EXEC"
mkdir -p "$T/home" "$T/data"
SHOT="$(dirname "$DEB")/package-window.png"
rm -f "$SHOT"
export T BIN EXEC SHOT
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  (cd "$T/home" && HOME="$T/home" RLC_DATA_DIR="$T/data" PATH="$BIN:$PATH" exec $EXEC) 2> "$T/stderr" &
  PID=$!
  shown=""
  for _ in $(seq 300); do
    kill -0 $PID 2> /dev/null || { echo "the program ended:" >&2; cat "$T/stderr" >&2; exit 1; }
    for w in $(xwininfo -root -tree | awk "/\(\"zt-logger\" \"zt-logger\"\)/ {print \$1}"); do
      xwininfo -id "$w" | grep -q "Map State: IsViewable" && shown=$w
    done
    [ -n "$shown" ] && break
    sleep 0.1
  done
  [ -n "$shown" ] || { echo "no window within 30 s" >&2; cat "$T/stderr" >&2; kill $PID; exit 1; }
  xwininfo -id "$shown" | sed -n "s/^xwininfo: //p"
  sleep 1  # let it paint before the picture
  import -window root "$SHOT"
  kill $PID
  wait $PID 2> /dev/null || true
' || fail "the packaged program did not show its window"
echo "window shown; screenshot: $SHOT"
echo "package check passed: $DEB"
