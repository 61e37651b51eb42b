#!/bin/bash
# Crops the demo's screenshots (out/, made by tools/demo.sh) into the pictures the README shows (docs/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/out"
docs="$root/docs"
mkdir -p "$docs"
crop() {  # crop SOURCE GEOMETRY TARGET
  convert "$out/$1" -crop "$2" +repage -scale 200% "$docs/$3"
}
convert "$out/style-dusk.png" "$out/style-ember.png" "$out/style-paper.png" -crop 200x40+4+12 +repage \
  -scale 200% -append "$docs/styles.png"
crop title.png 260x40+4+12 title.png
crop label.png 260x40+4+12 label.png
crop menu.png 340x170+0+10 menu.png
# The slit stands at the right edge, a quarter of the way down the screen.
convert "$out/slit-title.png" -crop 260x60+1020+180 +repage -scale 200% "$docs/slit.png"
ls "$docs"
