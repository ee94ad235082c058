#!/usr/bin/env bash
# Fuzzes the image size probe with AddressSanitizer and UndefinedBehaviorSanitizer for a
# bounded time (FUZZ_SECONDS, default 60). Seeds: headers built by fuzz/probe/make_seeds
# plus a few small images made with ImageMagick. New inputs the fuzzer finds stay in
# build-fuzz-probe/corpus for the next local run. Fails on any crash, leak or hang.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-fuzz-probe
mkdir -p "$out/corpus"
rm -rf "$out/seeds"
mkdir -p "$out/seeds"

san=(-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
clang++ -std=c++17 -g -O1 "${san[@]}" -IConverter \
  fuzz/probe/probe_fuzz.cpp Converter/core/image_probe.cpp Converter/core/platform.cpp \
  -o "$out/probe_fuzz"
clang++ -std=c++17 -O1 -IConverter fuzz/probe/make_seeds.cpp -o "$out/make_seeds"
"$out/make_seeds" "$out/seeds"
for kind in "jpg:-interlace JPEG" "png:-interlace PNG" "gif:" "tif:-endian MSB" "bmp:" "webp:" \
  "lossless.webp:-define webp:lossless=true" "alpha.webp:-alpha set -channel A -evaluate set 50% +channel" \
  "avif:"; do
  ext=${kind%%:*}
  # shellcheck disable=SC2086  # the options are meant to split into words
  convert -size 9x7 gradient:red-blue ${kind#*:} "$out/seeds/im.$ext"
done

status=0
"$out/probe_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=16384 -timeout=5 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/" \
  "$out/corpus" "$out/seeds" >"$out/fuzz.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 120 "$out/fuzz.log"
  echo "20-fuzz-probe: the probe fuzzer failed (exit $status); the input is in $out/ (crash-*, leak-*, timeout-*)"
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$out/fuzz.log" || tail -n 5 "$out/fuzz.log"
