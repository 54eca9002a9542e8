#!/usr/bin/env bash
# Renders the viewer's desktop icon, packaging/lumivex.png (64 x 64), from the
# head shape of the shape gallery: its tile of the contact sheet, the grey
# background made transparent. Run it again after the head shape changes and
# commit the result; the package installs the committed file.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/bin/shape-gallery ] || cmake --build build --target shape-gallery
sheet=$(mktemp --suffix=.png)
trap 'rm -f "$sheet"' EXIT
scripts/with-xvfb.sh build/bin/shape-gallery "$sheet" >/dev/null
# The head is the first tile (256 x 256, top left); the sheet's background
# is the clear colour 0.6 grey.
convert "$sheet" -crop 256x256+0+0 +repage -fuzz 3% -transparent 'rgb(153,153,153)' \
  -trim +repage -resize 60x60 -gravity center -background none -extent 64x64 \
  -strip -define png:exclude-chunks=date,time packaging/lumivex.png
echo "wrote packaging/lumivex.png"
