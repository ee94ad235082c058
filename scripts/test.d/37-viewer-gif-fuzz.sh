#!/usr/bin/env bash
# Fuzzes the viewer's GIF decoder (Converter/web/src/gif.js) with random mutations of
# animations made by ImageMagick, for a bounded time. FUZZ_SECONDS overrides the run
# time (default 60); failing inputs land in build-fuzz-viewer/.
set -euo pipefail
cd "$(dirname "$0")/../.."

out=build-fuzz-viewer
mkdir -p "$out/seeds"
s="$out/seeds"
# Seeds: disposal methods, transparency, offsets, interlacing, local colour tables, a
# full LZW table, a two-colour image.
convert -dispose none -delay 20 -size 24x16 xc:red \
  -dispose background -delay 0 \( -size 8x6 xc:blue -repage 24x16+3+3 \) \
  -dispose previous -delay 1 \( -size 9x9 xc:none -fill lime -draw 'circle 4,4 4,1' -repage 24x16+12+5 \) \
  -loop 3 "$s/disposal.gif"
convert -size 30x20 gradient:red-blue \( -size 30x20 gradient:green-yellow \) -interlace GIF -loop 0 "$s/interlaced.gif"
convert -size 64x48 xc: +noise Random -colors 256 "$s/noise.gif"
convert -size 17x5 pattern:checkerboard -colors 2 "$s/two.gif"

node fuzz/viewer/gif_fuzz.mjs "$out" "$s"/*.gif
