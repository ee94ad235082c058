#!/usr/bin/env bash
# The real setup.exe of the 64-bit build under Wine: packages it (launcher, setup engine,
# Lua library and setup data) and runs tests/windows/setup_test.py, which installs,
# uses and uninstalls the programs in a fresh Wine prefix. Runs after 60-windows.sh,
# which has built the Windows programs. Prints how long each step took.
set -euo pipefail
cd "$(dirname "$0")/../.."

step() { local name=$1; shift; local t=$SECONDS; "$@"; echo "    $name: $((SECONDS - t)) s"; }
started=$SECONDS
cmake --preset windows-x64 >/dev/null
step "windows-x64 package" cmake --build --preset windows-x64 --target package-windows
step "setup tests under Wine" python3 tests/windows/setup_test.py
echo "    setup stage: $((SECONDS - started)) s"
