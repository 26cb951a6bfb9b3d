#!/bin/sh
# Runs the built program (a copy, beside a resource folder of its own) on broken main
# scripts: each must exit non-zero, show its error (on stderr, headless) and log it. The
# shipped main script meets a video driver without OpenGL (no window) and an OpenGL older
# than 3.3 (a window but no device) the same way, and the program one whose video cannot
# start at all.
# Usage: broken_scripts.sh PROGRAM SHIPPED_SCRIPT_FOLDER
set -u
program=$1
shipped=$2
dir=$(mktemp -d /tmp/qx-broken-XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$dir/qx"
mkdir -p "$dir/resource/script"
cp "$shipped/QXL.lua" "$shipped/QXGobj.lua" "$dir/resource/script/"
printf 'error("inside a module")\n' > "$dir/resource/script/broken.lua"
failures=0

# case NAME EXPECTED_CODE STDERR_TEXT LOG_TEXT SCRIPT
case_() {
  [ ! -d "$dir/resource" ] || printf '%s' "$5" > "$dir/resource/script/QXMain.lua"
  rm -f "$dir/log.txt"
  # A program that runs on where it should stop is ended, and fails its case.
  # The program sees only the display settings the row names, never the caller's session:
  # video is a driver ("none": SDL_VIDEODRIVER unset, "empty": set but empty; offscreen
  # when not given); display and wayland name DISPLAY and WAYLAND_DISPLAY (with
  # XDG_RUNTIME_DIR the test's own folder), and drop QX_MSGBOX so boxes go where a
  # desktop's would.
  driver=SDL_VIDEODRIVER=${video:-offscreen}
  case ${video:-} in
    none) driver= ;;
    empty) driver=SDL_VIDEODRIVER= ;;
  esac
  env -u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR \
    ${display:+-u QX_MSGBOX DISPLAY=$display} \
    ${wayland:+-u QX_MSGBOX WAYLAND_DISPLAY=$wayland XDG_RUNTIME_DIR=$dir/runtime} \
    $driver ${glenv:-} timeout "${limit:-30}" "$dir/qx" > "$dir/out" 2> "$dir/err"
  code=$?
  ok=1
  [ "$code" -eq "$2" ] || ok=0
  [ -z "$3" ] || grep -qF -- "$3" "$dir/err" || ok=0
  [ -z "$4" ] || grep -qF -- "$4" "$dir/log.txt" || ok=0
  if [ $ok -eq 0 ]; then
    echo "FAIL $1: exit $code (want $2); stderr:"; cat "$dir/err"; echo "log:"; cat "$dir/log.txt" 2>/dev/null
    failures=$((failures + 1))
  else
    echo "ok $1"
  fi
}

case_ syntax 1 "QXMain.lua: QXMain.lua:2: '=' expected near 'main'" "QXMain.lua:2: '=' expected" \
  'x = 1
oops main() end
'
case_ raise_at_load 1 "QXMain.lua: QXMain.lua:1: at load" "in main chunk" \
  'error("at load")
'
case_ raise_in_update 1 "update: QXMain.lua:4: in update" "QXMain.lua:4: in function 'fail'" \
  'function main()
  coroutine.yield(true)
  local function fail()
    error("in update")
  end
  fail()
end
'
case_ raise_in_draw 1 "draw: QXMain.lua:4: in draw" "QXMain.lua:4: in draw" \
  'function main()
  while true do
    local phase = coroutine.yield(true)
    if phase == 2 then error("in draw") end
  end
end
'
case_ no_main 1 "main: no function main: QXMain.lua is missing or does not define it" "no function main" \
  'local function mian() end
'
case_ utf16 1 "QXMain.lua: QXMain.lua is not UTF-8 text" "not UTF-8" \
  "$(printf '\377\376main')"
case_ required_module_raises 1 "QXMain.lua: broken.lua:1: inside a module" "" \
  'require("broken")
'
case_ main_returns 0 "" "" \
  'function main() coroutine.yield(true) end
'
case_ main_yields_false 0 "" "" \
  'function main() coroutine.yield(false) end
'
cp "$shipped"/*.lua "$dir/resource/script/"
video=dummy
case_ shipped_main_without_window 1 "main: QXMain: no window could be made" "QXMain: no window could be made" \
  "$(cat "$shipped/QXMain.lua")"
# A DISPLAY left over from an X server that is gone (the box then tries SDL first, which
# fails the same way), and a driver SDL does not have.
n=900
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
video=x11 display=":$n"
case_ stale_display 1 "qx: SDL video cannot start: x11 not available" "SDL video cannot start: x11 not available" ""
# With no driver named, a display that cannot be reached still ends the program at once:
# SDL is offered only the drivers of the displays that are named, never its offscreen one.
video=none limit=10
case_ stale_display_default 1 "qx: SDL video cannot start: x11 not available" "SDL video cannot start: x11 not available" \
  "$(cat "$shipped/QXMain.lua")"
# A driver set but empty is no choice at all: it is made as if unset.
video=empty
case_ stale_display_empty_driver 1 "qx: SDL video cannot start: x11 not available" \
  "SDL video cannot start: x11 not available" "$(cat "$shipped/QXMain.lua")"
mkdir -m 700 "$dir/runtime"
video=none display= wayland=qx-nowhere
case_ stale_wayland_default 1 "qx: SDL video cannot start: wayland not available" \
  "SDL video cannot start: wayland not available" "$(cat "$shipped/QXMain.lua")"
wayland= limit=
video=nosuch display=
case_ unknown_driver 1 "qx: SDL video cannot start: nosuch not available" "SDL video cannot start: nosuch not available" ""
video=
glenv="LIBGL_ALWAYS_SOFTWARE=1 MESA_GL_VERSION_OVERRIDE=3.2"
case_ shipped_main_without_device 1 "main: QXMain: no window could be made" "Qeldrin: init: no device (" \
  "$(cat "$shipped/QXMain.lua")"
glenv=
rm -rf "$dir/resource"
case_ no_resources 1 'no "resource" folder or pack beside the program' "" ""
[ $failures -eq 0 ]
