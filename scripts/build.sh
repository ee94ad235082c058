#!/usr/bin/env bash
# Configures and builds the Linux programs into build/ (warnings are errors under CI).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
[ "${CI:-}" = "true" ] && preset=ci
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -- -k 0
