#!/usr/bin/env bash
# Runs every built fuzz target from its seed corpus within one time budget: the budget
# (seconds of wall time, default 120) is shared out among the targets, JOBS of them
# (default 1) running side by side, so adding targets never lengthens the run.
#   fuzz.sh BUILD_DIR [BUDGET_SECONDS [JOBS]]
set -uo pipefail
dir=$1; budget=${2:-120}; jobs=${3:-1}
root=$(cd "$(dirname "$0")/.." && pwd)

targets=()
for bin in "$dir"/tests/fuzz/fuzz_*; do
  [ -x "$bin" ] && targets+=("$bin")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets built in $dir"
  exit 1
fi
[ "$jobs" -ge 1 ] 2>/dev/null || jobs=1
[ "$jobs" -gt ${#targets[@]} ] && jobs=${#targets[@]}
# Targets run in rounds of JOBS; each round gets an equal share of the budget, never below
# a few seconds (a run shorter than that finds nothing).
rounds=$(( (${#targets[@]} + jobs - 1) / jobs ))
seconds=$(( budget / rounds ))
[ "$seconds" -lt 5 ] && seconds=5
echo "fuzz: ${#targets[@]} targets, ${seconds} s each, $jobs at a time (budget ${budget} s)"

results=$(mktemp -d)
# Crashing inputs are kept beside the targets, not in the caller's folder.
artifacts="$dir/fuzz-artifacts"
mkdir -p "$artifacts"
run_one() {
  local bin=$1 name seeds work
  name=$(basename "$bin")
  seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/"
  if "$bin" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -artifact_prefix="$artifacts/" "$work" \
      >"$results/$name.log" 2>&1; then
    echo "fuzz $name: ok"
    touch "$results/$name.ok"
  else
    echo "fuzz $name: FAILED"
    tail -n 40 "$results/$name.log"
  fi
  rm -rf "$work"
}

running=0
for bin in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_one "$bin" &
  running=$((running + 1))
done
wait

passes=$(find "$results" -name '*.ok' | wc -l)
fails=$(( ${#targets[@]} - passes ))
rm -rf "$results"
echo "fuzz targets: $passes clean, $fails crashed"
[ "$fails" -eq 0 ]
