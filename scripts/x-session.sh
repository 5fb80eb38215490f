# Sourced by scripts/window-check and scripts/screenshot: a private X
# display (Xvfb) with a real window manager (openbox) and a private home,
# torn down on exit. Sets DISPLAY, work, root and build.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
work=$(mktemp -d)
x_pids=()
x_cleanup() {
  for p in "${x_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap x_cleanup EXIT

# x_start WIDTHxHEIGHT: the display and the window manager. Another session
# may take a free display number at the same moment: then the next one.
x_start() {
  local display xvfb wm
  for display in $(seq 90 150); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
    Xvfb ":$display" -screen 0 "${1}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$display" ] && break
      kill -0 "$xvfb" 2>/dev/null || break
      sleep 0.05
    done
    kill -0 "$xvfb" 2>/dev/null || continue
    x_pids+=("$xvfb")
    export DISPLAY=":$display"
    openbox >"$work/openbox.log" 2>&1 &
    wm=$!
    x_pids+=("$wm")
    for _ in $(seq 1 100); do wmctrl -m >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "openbox did not start on :$display" >&2
    return 1
  done
  echo "no free X display" >&2
  return 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
ini="$XDG_CONFIG_HOME/Straatwijs/Straatwijs.ini"
