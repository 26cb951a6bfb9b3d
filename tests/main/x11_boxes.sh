#!/bin/sh
# The built program's message boxes on an X server (run through with_xvfb.sh): a modal
# box with a 100 KB line, with 5000 lines or with a line of emoji, a message dialog with
# a 100 KB line, and a script error of 6000 characters. Each box fits the screen and is
# dismissed with Enter; the program then goes on (exit 0) or ends (exit 1), and stderr
# and log.txt hold the whole text. SIGTERM while a modal box waits closes the box and
# ends the program as it ends without one. A hang is killed.
# Usage: x11_boxes.sh PROGRAM SHIPPED_SCRIPT_FOLDER
set -u
dir=$(mktemp -d /tmp/qx-boxes-XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp "$1" "$dir/qx"
mkdir -p "$dir/resource/script"
cp "$2"/*.lua "$dir/resource/script/"
screen=$(xdotool getdisplaygeometry)
# SDL shows its X11 boxes from a child it forks. Under AddressSanitizer a fork that meets
# another thread inside the allocator leaves the child waiting on the allocator's lock for
# good; the one thread that allocates at length at start is the TLS worker loading the
# system's CA store, which these runs do not need.
export SSL_CERT_FILE=/dev/null
failures=0
fail() { echo "FAIL $name: $1"; failures=$((failures + 1)); }

# The shown window of that title (xdotool's own name search misses SDL's boxes).
window_named() {
  for w in $(xdotool search --onlyvisible --classname "" 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && echo "$w" && return
  done
}

# run NAME CAPTION EXPECTED_CODE ACTIONS SCRIPT: the box of that caption must come and
# fit the screen; then each action in turn: "enter" presses Enter in it, "term" sends
# the program SIGTERM.
run() {
  name=$1
  printf 'require("QXL")\n%s' "$5" > "$dir/resource/script/QXMain.lua"
  rm -f "$dir/log.txt"
  timeout -s KILL 30 "$dir/qx" > /dev/null 2> "$dir/err" &
  pid=$!
  id=""
  n=0
  while [ -z "$id" ] && [ $n -lt 300 ] && kill -0 $pid 2>/dev/null; do
    id=$(window_named "$2")
    [ -n "$id" ] || sleep 0.1
    n=$((n + 1))
  done
  if [ -n "$id" ]; then
    eval "$(xdotool getwindowgeometry --shell "$id")"
    [ "$WIDTH" -le "${screen% *}" ] && [ "$HEIGHT" -le "${screen#* }" ] || fail "box of ${WIDTH}x$HEIGHT"
    for action in $4; do
      case $action in
        enter) xdotool key --window "$id" Return 2>/dev/null ;;
        term) kill -TERM "$(pgrep -P $pid)" ;;
      esac
    done
  else
    fail "no box \"$2\""
  fi
  wait $pid
  code=$?
  [ $code -eq "$3" ] || fail "exit $code (want $3)"
}

# whole FILE COUNT PATTERN: the file holds COUNT matches of the pattern.
whole() {
  got=$(grep -o -- "$3" "$dir/$1" 2>/dev/null | wc -l)
  [ "$got" -eq "$2" ] || fail "$1 holds $got of $2 \"$3\""
}

run long_line long 0 enter 'function main()
  MLDialog.new(nil, 0, "IDD_PSEUDOMB"):msgbox(string.rep("word ", 20000), "long", 0, true)
  QX.log("went on")
end'
whole err 20000 word
whole log.txt 20000 word
whole log.txt 1 "went on"

run many_lines lines 0 enter 'function main()
  local t = {}
  for i = 1, 5000 do t[i] = "n" .. i end
  MLDialog.new(nil, 0, "IDD_PSEUDOMB"):msgbox(table.concat(t, "\n"), "lines", 0, true)
  QX.log("went on")
end'
whole err 5000 "n[0-9]\+"
whole log.txt 5000 "n[0-9]\+"
whole log.txt 1 "went on"

run script_error update 1 enter 'function main()
  coroutine.yield(true)
  error(string.rep("y", 6000))
end'
whole err 1 "y\{6000\}"
whole log.txt 1 "y\{6000\}"

# Emoji are drawn wider than Latin letters: the box still fits.
run emoji emoji 0 enter 'function main()
  MLDialog.new(nil, 0, "IDD_PSEUDOMB"):msgbox(string.rep("\240\159\152\128", 300), "emoji", 0, true)
end'

# So are the common symbols (★ ━ → ♪): three lines of 140 fit.
run stars stars 0 enter 'function main()
  local line = string.rep("\226\152\133", 140)
  MLDialog.new(nil, 0, "IDD_PSEUDOMB"):msgbox(line .. "\n" .. line .. "\n" .. line, "stars", 0, true)
end'

# A message dialog (not modal) cut to the screen: its text goes whole to stderr and
# log.txt too. The script runs on until SIGTERM.
run modeless_long modeless 0 "enter term" 'function main()
  local d = MLDialog.new(nil, 0, "IDD_PSEUDOMB")
  d:msgbox(string.rep("word ", 20000), "modeless", 0, false)
  while true do coroutine.yield(true) end
end'
whole err 20000 word
whole log.txt 20000 word

# SIGTERM while a modal box waits: the box closes, the script goes on to its next
# yield, the frame loop stops and the program ends as a closed window ends it.
run term_modal waiting 0 term 'function main()
  QX.log("box up")
  MLDialog.new(nil, 0, "IDD_PSEUDOMB"):msgbox("Nobody reads this", "waiting", 0, true)
  QX.log("went on")
  while true do coroutine.yield(true) end
end'
whole log.txt 1 "box up"
whole log.txt 1 "went on"
whole err 1 "waiting: Nobody reads this"

# ... and a script error's box: the exit code stays 1.
run term_error update 1 term 'function main()
  coroutine.yield(true)
  error("stopped by the script")
end'
whole log.txt 1 "stopped by the script"

# The X server going away under the program (a logout, an X crash): it ends within
# seconds with exit 1 and says so in log.txt, under a window and under a modal box, whose
# child (SDL forks one for it) ends too. Another client destroying the program's window
# (xdotool windowclose, as some desktop tools close windows) makes the server refuse SDL's
# next request on it: the program ends the same way within 5 s, never by a signal, and
# says which request was refused. Each run has an X server of its own, killed by its PID;
# three runs each, since the old hang and crash came only in some runs.
# lost NAME LOG_LINE SCRIPT BOX_CAPTION HOW: the run is ready once log.txt holds LOG_LINE
# and, when BOX_CAPTION is given, that box is on screen; HOW is "server" (killed) or
# "window" (destroyed).
lost() {
  name=$1
  printf 'require("QXL")\n%s' "$3" > "$dir/resource/script/QXMain.lua"
  rm -f "$dir/log.txt" "$dir/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
  server=$!
  n=0
  until [ -s "$dir/display" ] || [ $n -ge 200 ]; do sleep 0.05; n=$((n + 1)); done
  display=":$(cat "$dir/display")"
  DISPLAY=$display timeout -s KILL 15 "$dir/qx" > /dev/null 2> "$dir/err" &
  pid=$!
  n=0
  until grep -q "$2" "$dir/log.txt" 2>/dev/null || [ $n -ge 300 ]; do sleep 0.1; n=$((n + 1)); done
  # A box row waits until its box is on screen, so the child that shows it is connected.
  n=0
  while [ -n "$4" ] && [ -z "$(DISPLAY=$display window_named "$4")" ] && [ $n -lt 100 ]; do
    sleep 0.1
    n=$((n + 1))
  done
  qx=$(pgrep -P $pid)
  children=""
  [ -z "$qx" ] || children=$(pgrep -P "$qx")
  [ -z "$4" ] || [ -n "$children" ] || fail "no box child"
  if [ "$5" = server ]; then
    kill -KILL $server
    line="the connection to the X display \"$display\" was lost; the program ends"
  else
    window=$(DISPLAY=$display xdotool search --name ":QX v0.03\[" | head -n 1)
    [ -n "$window" ] && DISPLAY=$display xdotool windowclose "$window" || fail "no window to close"
    n=0
    while kill -0 $pid 2>/dev/null && [ $n -lt 50 ]; do sleep 0.1; n=$((n + 1)); done
    ! kill -0 $pid 2>/dev/null || fail "still running 5 s after its window was destroyed"
    line="the X display \"$display\" refused a request: error [0-9]* (Bad[A-Za-z]*), major opcode [0-9]*, minor opcode [0-9]*, resource id 0x[0-9a-f]*; the program ends"
  fi
  wait $pid
  code=$?
  kill -KILL $server 2>/dev/null
  wait $server 2>/dev/null
  [ $code -eq 1 ] || fail "exit $code (want 1)"
  whole log.txt 1 "$line"
  for child in $children; do
    ! kill -0 "$child" 2>/dev/null || { fail "child $child left"; kill -KILL "$child"; }
  done
}
for i in 1 2 3; do
  lost lost_under_window "first frame drawn" "$(cat "$2/QXMain.lua")" "" server
  lost lost_under_box "box up" 'function main()
  QX.log("box up")
  MLDialog.new(nil, 0, "IDD_PSEUDOMB"):msgbox("Nobody reads this", "waiting", 0, true)
  while true do coroutine.yield(true) end
end' waiting server
  lost window_destroyed "first frame drawn" "$(cat "$2/QXMain.lua")" "" window
done

[ $failures -eq 0 ]
