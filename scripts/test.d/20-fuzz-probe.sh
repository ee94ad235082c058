#!/usr/bin/env bash
# Fuzzes the image size probe with AddressSanitizer and UndefinedBehaviorSanitizer for a
# bounded time (FUZZ_SECONDS, default 60). Seeds: headers written by probe_seeds (from the
# tests' header builders) plus a few small images made with ImageMagick. New inputs the
# fuzzer finds stay in build-fuzz/probe/corpus for the next local run.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/fuzz.sh
out=build-fuzz/probe
build_fuzz probe_fuzz probe_seeds
mkdir -p "$out/corpus"
rm -rf "$out/seeds"
mkdir -p "$out/seeds"
build-fuzz/bin/probe_seeds "$out/seeds"
for kind in "jpg:-interlace JPEG" "png:-interlace PNG" "gif:" "tif:-endian MSB" "bmp:" "webp:" \
  "lossless.webp:-define webp:lossless=true" "alpha.webp:-alpha set -channel A -evaluate set 50% +channel" \
  "avif:"; do
  ext=${kind%%:*}
  # shellcheck disable=SC2086  # the options are meant to split into words
  convert -size 9x7 gradient:red-blue ${kind#*:} "$out/seeds/im.$ext"
done
run_fuzzer 20-fuzz-probe probe_fuzz "$out" -max_len=16384 -timeout=5 -- "$out/corpus" "$out/seeds"
