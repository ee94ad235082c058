#!/usr/bin/env bash
# Cross-compiles the setup launcher's Windows build (Win32 platform layer, wWinMain,
# manifest and version resource), mksetup and the test engine with MinGW-w64 for 32-bit
# and 64-bit Windows, warnings as errors, so a break in the Windows code fails the tests
# even though it cannot run here. Also checks that the launcher's image does not hold the
# payload signature (the launcher would take it for its payload).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-launcher-mingw
flags=(-std=c++17 -O2 -Wall -Wextra -Werror -Isetup)
launcher_sources=(setup/core/setup_extractor.cpp setup/core/launcher_main.cpp
                  setup/platform/win32_platform.cpp setup/app/win_main.cpp)

for triplet in i686-w64-mingw32 x86_64-w64-mingw32; do
  dir="$out/$triplet"
  mkdir -p "$dir"
  "$triplet-windres" setup/res/setup.rc -O coff -o "$dir/setup-res.o"
  "$triplet-g++" "${flags[@]}" -DUNICODE -D_UNICODE -municode -mwindows -static \
    "${launcher_sources[@]}" "$dir/setup-res.o" -o "$dir/setup.exe" -lshell32 -ladvapi32 -luser32
  "$triplet-g++" "${flags[@]}" -static setup/tools/mksetup.cpp -o "$dir/mksetup.exe"
  "$triplet-g++" "${flags[@]}" -static setup/tools/test_engine.cpp -o "$dir/vg_test_engine.exe" -ladvapi32
  python3 - "$dir/setup.exe" <<'PY'
import sys
image = open(sys.argv[1], "rb").read()
signature = bytes(0xE0 + k // 2 for k in range(16))
if signature in image:
    sys.exit(f"{sys.argv[1]}: holds the payload signature at offset {image.index(signature)}")
if len(image) >= 10485760:
    sys.exit(f"{sys.argv[1]}: {len(image)} bytes, the payload search stops at 10 MiB")
PY
  echo "    $triplet: setup.exe $(stat -c %s "$dir/setup.exe") bytes, mksetup.exe, vg_test_engine.exe"
done
