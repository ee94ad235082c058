#!/usr/bin/env bash
# Fuzzes the page builder (template line ends, option text encoding, whole pages) with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer for a bounded time
# (FUZZ_SECONDS, default 60). New inputs the fuzzer finds stay in build-fuzz/pages/corpus.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/fuzz.sh
out=build-fuzz/pages
build_fuzz page_fuzz
mkdir -p "$out/corpus"

# Seeds: the shipped template and a few texts with markup, multi-byte and broken UTF-8.
# Strings inside one input are separated by a backslash and another character.
cp Converter/web/template.html "$out/corpus/seed-template"
printf '<p w="%%WIDTH%%" h="%%HEIGHT%%">\r\n%%PARAMS%%\r</p>\\ncaf\xc3\xa9 "q" & <b> \xe2\x82\xac\\nmain\\n%%PARAMS%%\\n\xe9\\nx\\nimg_0001_0002_C.class\\n' \
  >"$out/corpus/seed-texts"
printf 'a\nb\r\nc\rd\\n\xf0\x9f\x98\x80 \xed\xa0\x80 \xc0\xaf \xc3\\n\r\n\\n' >"$out/corpus/seed-broken"

run_fuzzer 25-fuzz-pages page_fuzz "$out" -max_len=8192 -timeout=10 -- "$out/corpus"
