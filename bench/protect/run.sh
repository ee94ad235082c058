#!/usr/bin/env bash
# Protected file writer: scramble throughput against memcpy, whole-file write of a
# 256 MiB source against a plain copy, and peak memory for a 1 GiB source.
# Usage: bash bench/protect/run.sh   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
bin=build/bin
work=$(mktemp -d /tmp/vg-bench-protect.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== scramble vs memcpy (one block of the writer against memcpy of 1 MiB, in cache)"
"$bin/bench_scramble" --benchmark_min_time=1 --benchmark_format=console 2>/dev/null | tee "$work/scramble.txt"

echo "== 256 MiB: vellagard protect vs cp (page cache warm, same disk)"
head -c $((256 << 20)) /dev/urandom > "$work/src.bin"
cat "$work/src.bin" > /dev/null
hyperfine --warmup 2 --runs 10 --export-json "$work/write.json" \
  "$bin/vellagard protect $work/src.bin $work/out.class" \
  "$bin/vellagard protect --domain www.quillmere.example $work/src.bin $work/out.class" \
  "cp $work/src.bin $work/copy.bin"
python3 - "$work/write.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
copy = r[2]["mean"]
for x in r[:2]:
    print(f"{x['command'].split('/')[-1][:60]}: {x['mean']*1000:.0f} ms, throughput ratio vs cp = {copy / x['mean']:.2f}")
PY

echo "== peak resident memory, 1 GiB source"
rm -f "$work/src.bin" "$work/copy.bin" "$work/out.class"
head -c $((1 << 30)) /dev/urandom > "$work/big.bin"
/usr/bin/time -f "max RSS %M KiB" "$bin/vellagard" protect "$work/big.bin" "$work/big.class"
