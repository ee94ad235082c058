#!/usr/bin/env bash
# The browser viewer's decoding modules (Converter/web/src) under node's test
# runner, fed with protected files that the C++ writer in build/ produces.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${VG_BUILD_DIR:-build}" # the folder scripts/test.sh configured
cmake --build "$build" --target vellagard >/dev/null
export VG_BIN_DIR="$PWD/$build/bin"
node --test --test-timeout=300000 Converter/web/tests/unit/
