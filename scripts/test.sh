#!/usr/bin/env bash
# Builds the engine twice (plain, and with AddressSanitizer + UBSan), runs the whole
# CTest suite in both, then runs the fuzz targets within one shared time budget.
# Builds go through ccache when it is installed; only what a test or a run uses is built
# (benchmarks are not: build them with a plain cmake configure).
#   QX_FUZZ_BUDGET  seconds of fuzzing in all (default 120), shared out among the targets
#   QX_SKIP_FUZZ=1  no fuzz build and no fuzzing
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

jobs=$(nproc)
# Headless everywhere: no display, no sound card, message boxes on stderr.
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QX_MSGBOX=stderr
export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The same compiler launcher in every build: ccache when present, none otherwise (an empty
# value also clears one an earlier configure cached).
launcher=""
if command -v ccache >/dev/null 2>&1; then
  launcher=ccache
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi
launch=(-DCMAKE_C_COMPILER_LAUNCHER="$launcher" -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher")

status=0
total_pass=0
total_fail=0
run_variant() {
  local name=$1; shift
  local dir="build/$name"
  echo "== $name build"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launch[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $name tests"
  local log="$dir/ctest-output.txt"
  # pipefail makes the pipeline fail when ctest does
  if ! (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300) 2>&1 | tee "$log"; then
    status=1
  fi
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    local failed total
    failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    total_pass=$((total_pass + total - failed))
    total_fail=$((total_fail + failed))
  else
    status=1
  fi
}

run_variant normal -DQX_SANITIZE=OFF -DQX_BUILD_BENCH=OFF
run_variant asan -DQX_SANITIZE=ON -DQX_BUILD_BENCH=OFF

if [ -d tests/fuzz ] && [ "${QX_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzz build"
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launch[@]}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQX_BUILD_FUZZ=ON -DQX_BUILD_TESTS=OFF -DQX_BUILD_BENCH=OFF >/dev/null
  cmake --build build/fuzz -j "$jobs" --target fuzz_all
  bash scripts/fuzz.sh build/fuzz "${QX_FUZZ_BUDGET:-120}" "$jobs" || status=1
fi

echo "== summary (both builds)"
echo "$total_pass passed, $total_fail failed"
exit $status
