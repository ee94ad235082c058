#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the C++ tests through CTest,
# then each extra stage in scripts/test.d/ (fuzzing, viewer, browser, window tests).
set -euo pipefail
cd "$(dirname "$0")/.."

stage() { echo; echo "==> $1"; }
start=$SECONDS
stage "install dependencies"; bash scripts/install-deps.sh
stage "build"; bash scripts/build.sh
stage "C++ tests (ctest)"
preset=default; [ "${CI:-}" = "true" ] && preset=ci
ctest --preset "$preset" -j2 --timeout 600
for s in scripts/test.d/*.sh; do
  [ -e "$s" ] || continue
  t=$SECONDS
  stage "$(basename "$s" .sh)"
  bash "$s"
  echo "    ($(basename "$s") took $((SECONDS - t)) s)"
done
echo
echo "All test stages passed in $((SECONDS - start)) s."
