#!/bin/sh
# Runs a command against an X server of its own: Xvfb on a display number the server
# picks itself (so parallel runs never meet), 1024x768, ended with the command. The
# command gets DISPLAY and SDL_VIDEODRIVER=x11, none of the caller's other display
# settings and none of the headless settings. A server that cannot start is a failure,
# never a skip.
# Usage: with_xvfb.sh COMMAND [ARGS...]
set -u
command -v Xvfb >/dev/null 2>&1 || { echo "with_xvfb: Xvfb is not installed (scripts/setup.sh)" >&2; exit 1; }
dir=$(mktemp -d /tmp/qx-xvfb-XXXXXX) || exit 1
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$dir"' EXIT
trap 'exit 143' INT TERM
n=0
until [ -s "$dir/display" ]; do
  if ! kill -0 "$server" 2>/dev/null || [ $n -ge 200 ]; then
    echo "with_xvfb: Xvfb did not start:" >&2
    cat "$dir/log" >&2
    exit 1
  fi
  sleep 0.05
  n=$((n + 1))
done
DISPLAY=":$(cat "$dir/display")"
SDL_VIDEODRIVER=x11
export DISPLAY SDL_VIDEODRIVER
unset WAYLAND_DISPLAY XDG_RUNTIME_DIR QX_MSGBOX
"$@"
