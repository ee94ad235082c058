#!/usr/bin/env bash
# A whole conversion run of 2,000 images (100 KiB to 5 MiB, sizes spread evenly on a
# log scale) against `cp` of the same files into another folder, and an unchanged
# re-run into a folder that already holds every file against that first run, in the
# same run. Then one image is changed and the re-run must write only its files.
# Usage: bash bench/convert/run.sh [COUNT]   (after scripts/build.sh; VG_BENCH_RUNS=5 runs each)
set -euo pipefail
cd "$(dirname "$0")/../.."
count=${1:-2000}
bin=$PWD/build/bin
work=${VG_BENCH_DIR:-/tmp/vg-bench-convert}
mkdir -p "$work"
trap 'rm -rf "$work/out" "$work/copy" "$work/again"' EXIT

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

# The re-run's folder is filled once; its runs find every file already right.
rm -rf "$work/again"
"$bin/vellagard" convert --yes --quiet -o "$work/again" "$work/in"
hyperfine --warmup 1 --runs "${VG_BENCH_RUNS:-5}" --export-json "$work/result.json" \
  --prepare "rm -rf $work/out $work/copy; mkdir -p $work/out $work/copy; sync" \
  --prepare "rm -rf $work/out $work/copy; mkdir -p $work/out $work/copy; sync" \
  --prepare "sync" \
  "$bin/vellagard convert --yes -o $work/out $work/in" \
  "cp -r $work/in/. $work/copy/" \
  "$bin/vellagard convert --yes -o $work/again $work/in"
python3 - "$work/result.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
first, cp, again = (x["mean"] for x in r)
print(f"convert {first:.2f} s, cp {cp:.2f} s, ratio {first / cp:.2f} x (target <= 1.3)")
print(f"unchanged re-run {again:.2f} s, ratio to the first run {again / first:.2f} x (target <= 0.3)")
PY

# One image changed: the re-run writes its protected file and nothing else.
changed=$(find "$work/in" -name 'img00007.*' | head -n 1)
cp -p "$changed" "$work/changed.bak"
printf 'x' >>"$changed"
log=$("$bin/vellagard" convert --yes --verbose -o "$work/again" "$work/in" 2>&1 >/dev/null)
mv "$work/changed.bak" "$changed"
written=$(grep -c ': written$' <<<"$log" || true)
echo "after changing $(basename "$changed"): $written image(s) written, $(grep -c ': unchanged$' <<<"$log") unchanged"
[ "$written" = 1 ] || { echo "expected exactly one image written"; exit 1; }
