#!/usr/bin/env bash
# Renders the program's icon (packaging/icons/<id>.svg) into the PNG sizes of
# the hicolor theme, next to it. The PNGs are kept in the repository so that
# building and packaging need no SVG renderer; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
command -v rsvg-convert > /dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
for svg in *.svg; do
  id=${svg%.svg}
  for n in 16 32 48 64 128 256; do
    rsvg-convert -w "$n" -h "$n" "$svg" -o "$id-$n.png"
  done
done
ls -l "$PWD"
