#!/usr/bin/env bash
# Runs every built fuzz target for a bounded time, each from its seed corpus.
set -uo pipefail
dir=$1; seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
fails=0; passes=0
for bin in "$dir"/tests/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/"
  if "$bin" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 "$work" >"$work.log" 2>&1; then
    echo "fuzz $name: ok"; passes=$((passes+1))
  else
    echo "fuzz $name: FAILED"; tail -n 40 "$work.log"; fails=$((fails+1))
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzz targets: $passes clean, $fails crashed"
[ $fails -eq 0 ]
