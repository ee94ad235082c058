#!/usr/bin/env bash
# Cross-builds the setup launcher's Windows build (Win32 platform layer, wWinMain, manifest
# and version resource), mksetup and the test engine with MinGW-w64 for 32-bit and 64-bit
# Windows (presets launcher-mingw-x86 and launcher-mingw-x64: warnings are errors, no
# wxMSW needed), so a break in the Windows code fails the tests even though it cannot run
# here. Then this machine's mksetup, from the Linux build (VG_BUILD_DIR, default build/),
# wraps each setup.exe around the test engine: it refuses a launcher whose image holds the
# payload signature (the launcher would take it for its payload) or is too large to search.
set -euo pipefail
cd "$(dirname "$0")/../.."
host=${VG_BUILD_DIR:-build}
if [ ! -f "$host/CMakeCache.txt" ]; then
  echo "40-launcher-mingw: $host is not configured; build the project first (scripts/build.sh)" >&2
  exit 1
fi
cmake --build "$host" --target mksetup >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "Stand-in for the Lua library of the setup engine." >"$work/lua5.3.dll"
echo "Stand-in for the setup data." >"$work/data"

for arch in x86 x64; do
  preset=launcher-mingw-$arch
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  bin=build-$preset/bin
  "$host/bin/mksetup" --launcher "$bin/setup.exe" --engine "$bin/vg_test_engine.exe" \
    --lua "$work/lua5.3.dll" --data "$work/data" -o "$work/setup-$arch.exe"
  echo "    $arch: setup.exe $(stat -c %s "$bin/setup.exe") bytes, mksetup.exe, vg_test_engine.exe;" \
    "wrapped: $(stat -c %s "$work/setup-$arch.exe") bytes"
done
