#!/usr/bin/env bash
# Renders docs/screenshots/ui-*.png: the main window in each presentation style and
# the About box, with the sample images in the list, on a private Xvfb display.
#   Converter/ui/tools/take-screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
tool="$build/bin/ui_screenshots"
[ -x "$tool" ] || { echo "build $tool first (cmake --build $build --target ui_screenshots)" >&2; exit 1; }

work=$(mktemp -d)
. scripts/lib/xvfb.sh
trap 'stop_xvfb; rm -rf "$work"' EXIT
start_xvfb "$work"
mkdir -p docs/screenshots
NO_AT_BRIDGE=1 HOME="$work" "$tool" docs/screenshots "$PWD"/samples/* 2>/dev/null
