#!/usr/bin/env bash
# Pages made by `vellagard convert` in Firefox (Debian's firefox-esr, headless, through
# puppeteer-core over WebDriver BiDi) and WebKit (Debian's WebKitGTK MiniBrowser through
# WebKitWebDriver and selenium-webdriver, under a private Xvfb). Everything comes from
# scripts/install-deps.sh; no browser is downloaded. VG_ENGINES=firefox or =webkit runs
# one engine only.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
for m in puppeteer-core selenium-webdriver; do
  if [ ! -d "node_modules/$m" ]; then
    echo "36-viewer-engines: node_modules/$m is missing: run scripts/install-deps.sh" >&2
    exit 1
  fi
done
for exe in /usr/bin/firefox-esr /usr/bin/WebKitWebDriver /usr/bin/Xvfb; do
  if [ ! -x "$exe" ]; then
    echo "36-viewer-engines: $exe is missing: run scripts/install-deps.sh" >&2
    exit 1
  fi
done
build="${VG_BUILD_DIR:-build}" # the folder scripts/test.sh configured
cmake --build "$build" --target vellagard >/dev/null
if cmake --build "$build" --target help 2>/dev/null | grep -q vg_web_files; then
  cmake --build "$build" --target vg_web_files >/dev/null
fi
export VG_BIN_DIR="$PWD/$build/bin"
export PUPPETEER_SKIP_DOWNLOAD=1

work=$(mktemp -d)
source scripts/lib/xvfb.sh
trap 'stop_xvfb; rm -rf "$work"' EXIT
start_xvfb "$work"

# One test file at a time: each starts its own browser per engine, and the machine has
# two cores.
rc=0
node --test --test-concurrency=1 --test-timeout=300000 Converter/web/tests/engines/ || rc=$?
echo "36-viewer-engines: $((SECONDS - start)) s"
exit "$rc"
