#!/usr/bin/env bash
# Image size probe: files per second over 10,000 small GIF, JPEG, PNG and TIFF files,
# against ImageMagick's `identify -ping` over the same files in the same run.
#   bench_probe      GetImageSize on each file of a list (the probe alone)
#   vellagard list   the whole "Add folder": walk, sort, probe, print
#   identify -ping   the peer, batched by xargs so start-up is paid once per batch
# Usage: bash bench/probe/run.sh [BUILD_DIR]   (default build/, after scripts/build.sh)
# The images are made once and cached in BUILD_DIR/bench-probe-images.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
bin=$build/bin
images=$build/bench-probe-images
for exe in "$bin/bench_probe" "$bin/vellagard"; do
  [ -x "$exe" ] || { echo "run.sh: $exe is missing: build first" >&2; exit 1; }
done

if [ ! -e "$images/.done" ]; then
  echo "== making 400 distinct images (100 sizes x 4 types), copied to 10,000 files"
  rm -rf "$images"
  mkdir -p "$images/set00"
  for i in $(seq 0 99); do
    w=$((8 + i)); h=$((6 + (i * 7) % 100))
    convert -size "${w}x${h}" "gradient:rgb($((i * 2)),40,90)-rgb(250,$((200 - i)),10)" \
      -write "$images/set00/img$i.png" -write "$images/set00/img$i.gif" \
      -write "$images/set00/img$i.tif" "$images/set00/img$i.jpg"
  done
  for s in $(seq -w 1 24); do cp -r "$images/set00" "$images/set$s"; done
  touch "$images/.done"
fi

work=$(mktemp -d /tmp/vg-bench-probe.XXXXXX)
trap 'rm -rf "$work"' EXIT
find "$images" -type f ! -name .done | LC_ALL=C sort > "$work/list"
tr '\n' '\0' < "$work/list" > "$work/list0"
count=$(wc -l < "$work/list")
echo "== $count files; page cache warm"
xargs cat < "$work/list" > /dev/null
"$bin/bench_probe" "$work/list"

hyperfine --warmup 1 --runs 5 --export-json "$work/probe.json" \
  "$bin/bench_probe $work/list" \
  "$bin/vellagard list $images" \
  "xargs -0 -a $work/list0 identify -ping -format '%w %h\n'"
python3 - "$work/probe.json" "$count" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
n = int(sys.argv[2])
peer = r[2]["mean"]
names = ["probe (bench_probe)", "vellagard list", "identify -ping"]
for name, x in zip(names, r):
    print(f"{name:22s} {x['mean']*1000:8.0f} ms  {n / x['mean']:9.0f} files/s  "
          f"{peer / x['mean']:6.1f} x identify -ping")
PY
