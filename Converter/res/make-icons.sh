#!/usr/bin/env bash
# Renders the program icon from icon.mvg into the committed PNG sizes and the
# Windows .ico. Run after changing icon.mvg; the build only reads the results.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 256x256 xc:none mvg:icon.mvg -composite -depth 8 -strip vellagard-256.png
for s in 16 24 32 48 64 128; do
  convert vellagard-256.png -filter Lanczos -resize "${s}x${s}" -depth 8 -strip "vellagard-$s.png"
done
convert vellagard-16.png vellagard-24.png vellagard-32.png vellagard-48.png vellagard-64.png \
  vellagard-128.png vellagard-256.png -depth 8 vellagard.ico
