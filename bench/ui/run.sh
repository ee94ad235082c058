#!/usr/bin/env bash
# Runs the window benchmarks on a private Xvfb display:
#   start-up to the first painted window (10 launches each, converter and the bare
#   wxWidgets dialog), then Add folder of 10,000 images until the list is drawn.
#   bench/ui/run.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
bench="$build/bin/bench_ui"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target bench_ui)" >&2; exit 1; }

work=$(mktemp -d)
. scripts/lib/xvfb.sh
trap 'stop_xvfb; rm -rf "$work"' EXIT
start_xvfb "$work"
export NO_AT_BRIDGE=1 HOME="$work" XDG_CONFIG_HOME="$work/.config"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for mode in startup baseline; do
  : >"$work/$mode"
  "$bench" "$mode" >/dev/null 2>&1  # warm the caches once
  for _ in $(seq 10); do
    VG_LAUNCH_NS=$(date +%s%N) "$bench" "$mode" 2>/dev/null | sed -n 's/.*first paint \([0-9.]*\) ms.*/\1/p' >>"$work/$mode"
  done
  echo "$mode: first paint after launch, median of 10: $(median <"$work/$mode") ms"
done
"$bench" addfolder 10000 3 2>/dev/null
