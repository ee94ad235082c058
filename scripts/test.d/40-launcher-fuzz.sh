#!/usr/bin/env bash
# Fuzzes the setup launcher's reading of its own file (signature search, header, sizes,
# extraction) with AddressSanitizer and UndefinedBehaviorSanitizer for a bounded time
# (FUZZ_SECONDS, default 60). Seeds come from fuzz/launcher/make_seeds.py; new inputs the
# fuzzer finds stay in build-fuzz-launcher/corpus for the next local run. Fails on any
# crash, leak, hang or broken invariant.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-fuzz-launcher
mkdir -p "$out/corpus"
rm -rf "$out/seeds"
python3 fuzz/launcher/make_seeds.py "$out/seeds"

san=(-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
clang++ -std=c++17 -g -O1 "${san[@]}" -Isetup \
  fuzz/launcher/payload_fuzz.cpp setup/core/setup_extractor.cpp setup/core/launcher_main.cpp \
  -o "$out/payload_fuzz"

status=0
"$out/payload_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=300000 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/" \
  "$out/corpus" "$out/seeds" >"$out/fuzz.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 120 "$out/fuzz.log"
  echo "40-launcher-fuzz: the payload fuzzer failed (exit $status); the input is in $out/ (crash-*, leak-*, timeout-*)"
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$out/fuzz.log" || tail -n 5 "$out/fuzz.log"
