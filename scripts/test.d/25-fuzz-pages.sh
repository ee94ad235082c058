#!/usr/bin/env bash
# Fuzzes the page builder (template line ends, option text encoding, whole pages) with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer for a bounded time.
# FUZZ_SECONDS overrides the run time (default 60).
set -euo pipefail
cd "$(dirname "$0")/../.."

out=build-fuzz-pages
seconds="${FUZZ_SECONDS:-60}"
mkdir -p "$out/corpus"

clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Wall -Wextra -Werror -IConverter \
  fuzz/pages/page_fuzz.cpp Converter/pages/page_builder.cpp Converter/pages/style_checks.cpp \
  Converter/core/text.cpp Converter/settings/presentation_style.cpp \
  -o "$out/page_fuzz"

# Seeds: the shipped template and a few texts with markup, multi-byte and broken UTF-8.
# Strings inside one input are separated by a backslash and another character.
cp Converter/web/template.html "$out/corpus/seed-template"
printf '<p w="%%WIDTH%%" h="%%HEIGHT%%">\r\n%%PARAMS%%\r</p>\\ncaf\xc3\xa9 "q" & <b> \xe2\x82\xac\\nmain\\n%%PARAMS%%\\n\xe9\\nx\\nimg_0001_0002_C.class\\n' \
  >"$out/corpus/seed-texts"
printf 'a\nb\r\nc\rd\\n\xf0\x9f\x98\x80 \xed\xa0\x80 \xc0\xaf \xc3\\n\r\n\\n' >"$out/corpus/seed-broken"

# The corpus folder collects what the fuzzer finds; crashes land in $out.
"./$out/page_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
  -artifact_prefix="$out/" -print_final_stats=1 "$out/corpus" 2>"$out/fuzz.log" || {
  tail -n 60 "$out/fuzz.log"
  echo "page fuzzing failed; the input is in $out/ (crash-* or timeout-*)"
  exit 1
}
grep -E '^stat::number_of_executed_units' "$out/fuzz.log" || true
echo "page fuzzing passed"
