#!/usr/bin/env bash
# Pages made by `vellagard convert` in Debian's Chromium, driven by playwright-core
# (installed by scripts/install-deps.sh from package-lock.json; no browser download).
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ ! -d node_modules/playwright-core ]; then
  echo "35-viewer-browser: node_modules/playwright-core is missing: run scripts/install-deps.sh" >&2
  exit 1
fi
if [ ! -x /usr/bin/chromium ]; then
  echo "35-viewer-browser: /usr/bin/chromium is missing: run scripts/install-deps.sh" >&2
  exit 1
fi
build="${VG_BUILD_DIR:-build}" # the folder scripts/test.sh configured
cmake --build "$build" --target vellagard >/dev/null
export VG_BIN_DIR="$PWD/$build/bin"
export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
# One test file at a time: each starts its own Chromium, and the machine has two cores.
node --test --test-concurrency=1 --test-timeout=300000 Converter/web/tests/browser/
