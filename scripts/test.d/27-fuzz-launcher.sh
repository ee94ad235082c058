#!/usr/bin/env bash
# Fuzzes the setup launcher's reading of its own file (signature search, header, sizes,
# extraction) with AddressSanitizer and UndefinedBehaviorSanitizer for a bounded time
# (FUZZ_SECONDS, default 60). Seeds come from payload_seeds, built from the payload layout
# the launcher reads; new inputs the fuzzer finds stay in build-fuzz/launcher/corpus.
# Fails on any crash, leak, hang or broken invariant.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/fuzz.sh
out=build-fuzz/launcher
build_fuzz payload_fuzz payload_seeds
mkdir -p "$out/corpus"
rm -rf "$out/seeds"
build-fuzz/bin/payload_seeds "$out/seeds"
run_fuzzer 27-fuzz-launcher payload_fuzz "$out" -max_len=300000 -timeout=10 -- "$out/corpus" "$out/seeds"
