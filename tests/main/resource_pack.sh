#!/bin/sh
# Runs the built program (a copy) with "resource" as a pack file instead of a folder: a
# good pack runs its QXMain.lua; a damaged one is shown and logged by name and exits 1.
# Usage: resource_pack.sh PROGRAM PACKER SHIPPED_SCRIPT_FOLDER
set -u
program=$1
packer=$2
shipped=$3
dir=$(mktemp -d /tmp/qx-pack-XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$dir/qx"
mkdir -p "$dir/src"
cp "$shipped/QXL.lua" "$shipped/QXGobj.lua" "$dir/src/"
printf 'require("QXL")\nrequire("QXGobj")\nfunction main() print("main from the pack") coroutine.yield(false) end\n' \
  > "$dir/src/QXMain.lua"
"$packer" build "$dir/resource" "$dir/src" > /dev/null || { echo "FAIL: the packer"; exit 1; }
failures=0

run() {
  rm -f "$dir/log.txt"
  "$dir/qx" > "$dir/out" 2> "$dir/err"
  code=$?
}
report() {
  echo "FAIL $1: exit $code; stdout:"; cat "$dir/out"; echo "stderr:"; cat "$dir/err"
  echo "log:"; cat "$dir/log.txt" 2>/dev/null
  failures=$((failures + 1))
}

run
if [ $code -eq 0 ] && grep -qF "main from the pack" "$dir/out"; then echo "ok pack"; else report pack; fi

# Damaged: the directory cut short.
head -c 20 "$dir/resource" > "$dir/cut" && mv "$dir/cut" "$dir/resource"
run
if [ $code -eq 1 ] && grep -qF "$dir/resource\" cannot be mounted" "$dir/err" &&
   grep -qF "$dir/resource\" cannot be mounted" "$dir/log.txt"; then
  echo "ok damaged"
else
  report damaged
fi
[ $failures -eq 0 ]
