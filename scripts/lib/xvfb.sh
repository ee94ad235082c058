# shellcheck shell=bash
# Sourced by the scripts that need a display. start_xvfb WORK_DIR starts a private Xvfb
# (it picks a free display number itself and reports it once it accepts connections),
# exports DISPLAY and stops Xvfb when the calling script exits. WORK_DIR must exist; the
# caller's own EXIT trap, if any, must call stop_xvfb.
XVFB_PID=
stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
start_xvfb() {
  local dir=$1 number
  mkfifo "$dir/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/xvfb.log" &
  XVFB_PID=$!
  if ! read -r -t 30 number <"$dir/display"; then
    cat "$dir/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}
