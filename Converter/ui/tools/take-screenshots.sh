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
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
read -r -t 30 number <"$work/display"
mkdir -p docs/screenshots
DISPLAY=":$number" NO_AT_BRIDGE=1 HOME="$work" "$tool" docs/screenshots "$PWD"/samples/* 2>/dev/null
