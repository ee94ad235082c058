#!/usr/bin/env bash
# A whole conversion run of 2,000 images (100 KiB to 5 MiB, sizes spread evenly on a
# log scale) against `cp` of the same files into another folder, in the same run.
# Usage: bash bench/convert/run.sh [COUNT]   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
count=${1:-2000}
bin=$PWD/build/bin
work=${VG_BENCH_DIR:-/tmp/vg-bench-convert}
mkdir -p "$work"
trap 'rm -rf "$work/out" "$work/copy"' EXIT

if [ ! -f "$work/in/.complete-$count" ]; then
  rm -rf "$work/in" && mkdir -p "$work/in"
  echo "generating $count images in $work/in ..."
  python3 - "$work/in" "$count" samples <<'PY'
import math, os, random, sys
out, count, samples = sys.argv[1], int(sys.argv[2]), sys.argv[3]
heads = [open(os.path.join(samples, f), "rb").read() for f in sorted(os.listdir(samples))]
exts = [os.path.splitext(f)[1] for f in sorted(os.listdir(samples))]
rng = random.Random(42)
lo, hi = math.log(100 * 1024), math.log(5 * 1024 * 1024)
for i in range(count):
    k = i % len(heads)
    size = int(math.exp(rng.uniform(lo, hi)))
    # A real image header (so the probe finds a size) padded with noise to the size.
    data = heads[k][:size] + os.urandom(max(0, size - len(heads[k])))
    with open(os.path.join(out, f"img{i:05d}{exts[k]}"), "wb") as f:
        f.write(data)
PY
  touch "$work/in/.complete-$count"
fi
du -sh "$work/in"

hyperfine --warmup 1 --runs 5 --export-json "$work/result.json" \
  --prepare "rm -rf $work/out $work/copy; mkdir -p $work/out $work/copy; sync" \
  "$bin/vellagard convert --yes -o $work/out $work/in" \
  "cp -r $work/in/. $work/copy/"
python3 - "$work/result.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print(f"convert {r[0]['mean']:.2f} s, cp {r[1]['mean']:.2f} s, ratio {r[0]['mean'] / r[1]['mean']:.2f} x (target <= 1.3)")
PY
