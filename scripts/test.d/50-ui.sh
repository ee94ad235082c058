#!/usr/bin/env bash
# Runs the desktop converter's window tests (build/bin/ui_tests) on a private Xvfb
# display. Xvfb picks a free display number itself (-displayfd) and is stopped when
# the tests end, whatever their outcome. VG_BUILD_DIR names another build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${VG_BUILD_DIR:-build}
tests="$build/bin/ui_tests"
if [ ! -x "$tests" ]; then
  echo "50-ui: $tests is missing; build the project first (scripts/build.sh)" >&2
  exit 1
fi

work=$(mktemp -d)
. scripts/lib/xvfb.sh
trap 'stop_xvfb; rm -rf "$work"' EXIT
start_xvfb "$work"

# A private home keeps the tests away from the user's settings and GTK state.
mkdir -p "$work/home"
status=0
env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" NO_AT_BRIDGE=1 \
  GDK_BACKEND=x11 "$tests" --gtest_brief=1 >"$work/ui_tests.log" 2>&1 || status=$?
# GTK's own chatter is noise; the test results are not.
grep -vE '^\(ui_tests:[0-9]+\): (Gtk|GLib|Gdk|dbind)-(WARNING|CRITICAL|Message)' "$work/ui_tests.log" || true
if [ "$status" -ne 0 ]; then
  echo "50-ui: window tests failed (exit $status)" >&2
  exit 1
fi
