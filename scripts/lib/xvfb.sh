# Helpers for running the window on a virtual X display. Source this file; it needs xvfb,
# xdotool, x11-apps, x11-utils and netpbm (scripts/install-deps).

# Starts Xvfb on the first free display number and exports DISPLAY; sets XVFB_PID. The screen is
# $1 (default 1024x768) in size.
start_xvfb() {
  local display=99
  while [ -e "/tmp/.X${display}-lock" ]; do
    display=$((display + 1))
  done
  export DISPLAY=":${display}"
  Xvfb "$DISPLAY" -screen 0 "${1:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 200); do
    xwininfo -root >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# Prints the id of the visible window whose title is exactly $1, waiting up to 20 seconds. With
# a process id as $2, gives up as soon as that process has ended. Fails when no window came.
wait_for_window() {
  local window
  for _ in $(seq 400); do
    window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    if [ -n "$window" ]; then
      echo "$window"
      return 0
    fi
    if [ -n "${2:-}" ] && ! kill -0 "$2" 2>/dev/null; then
      return 1
    fi
    sleep 0.05
  done
  return 1
}

# Saves a PNG of the window with id $1 to the file $2.
grab_window() {
  mkdir -p "$(dirname "$2")"
  xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng >"$2"
}
