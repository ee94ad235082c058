#!/usr/bin/env bash
# The Windows programs: cross-builds the deliverables (windows-x86, 32-bit) and the same
# sources for 64-bit (windows-x64), packages the 32-bit build, then runs the 64-bit
# programs under Wine (this machine's kernel runs no 32-bit programs). The first build
# on a machine also builds wxMSW once (about half an hour per target; cached under
# ~/.cache/vellagard). Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/../.."

step() { local name=$1; shift; local t=$SECONDS; "$@"; echo "    $name: $((SECONDS - t)) s"; }
build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}
step "windows-x64 build" build windows-x64
step "windows-x86 build" build windows-x86
step "windows-x86 package" cmake --build --preset windows-x86 --target package-windows
step "Wine tests" python3 tests/windows/wine_test.py
