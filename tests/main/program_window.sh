#!/bin/sh
# The built program as the README runs it: it opens its window, clears it every draw, and
# ends with exit code 0 when asked to quit (SIGTERM is a quit, as closing the window
# is).
# Usage: program_window.sh <qx> <folder of qx>
qx=$1
dir=$2
rm -f "$dir/log.txt"
"$qx" &
pid=$!
n=0
while [ $n -lt 300 ]; do
  if grep -q 'QXMain: first frame drawn' "$dir/log.txt" 2>/dev/null; then break; fi
  sleep 0.1
  n=$((n + 1))
done
kill -TERM $pid
wait $pid
code=$?
grep -q 'QXMain: window open' "$dir/log.txt" || { echo "no window"; exit 1; }
grep -q 'QXMain: first frame drawn' "$dir/log.txt" || { echo "nothing drawn"; exit 1; }
[ $code -eq 0 ] || { echo "exit code $code"; exit 1; }
