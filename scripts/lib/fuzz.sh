# shellcheck shell=bash
# Sourced by the fuzz stages (scripts/test.d/*-fuzz-*.sh), run from the top of the tree.
#
# build_fuzz TARGET...   configures the fuzz preset (clang, libFuzzer, AddressSanitizer,
#                        UndefinedBehaviorSanitizer; build-fuzz/) and builds the targets.
# run_fuzzer STAGE NAME OUT [LIBFUZZER-OPTION...] -- FOLDER...
#                        runs build-fuzz/bin/NAME for FUZZ_SECONDS (default 60) over the
#                        folders (the first one collects what the fuzzer finds), writing
#                        its log and any failing input (crash-*, leak-*, timeout-*) into
#                        OUT. Fails the stage on a crash, a leak, a hang or a broken check.
build_fuzz() {
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz --target "$@"
}

run_fuzzer() {
  local stage=$1 name=$2 out=$3
  shift 3
  local options=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    options+=("$1")
    shift
  done
  shift
  local status=0
  "build-fuzz/bin/$name" -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/" "${options[@]}" "$@" \
    >"$out/fuzz.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 120 "$out/fuzz.log"
    echo "$stage: $name failed (exit $status); the input is in $out/ (crash-*, leak-*, timeout-*)" >&2
    return 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$out/fuzz.log" ||
    tail -n 5 "$out/fuzz.log"
}
