#!/bin/sh
# Runs the built program (a copy) whose script asks for a hostile effect file (65
# programs of trivial shaders) and a missing one: both are refused at once. It also loads
# an image that does not decode, a DDS file cut short and a material that does not parse,
# and saves a texture where nothing can be written. Each reason reaches "log.txt" by the
# file's name.
# Usage: resource_log.sh PROGRAM SHIPPED_SCRIPT_FOLDER
set -u
program=$1
shipped=$2
dir=$(mktemp -d /tmp/qx-fx-XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$dir/qx"
mkdir -p "$dir/resource/script"
cp "$shipped"/*.lua "$dir/resource/script/"
{
  i=0
  while [ $i -lt 9 ]; do echo "vertex_shader v$i %{ void main() {} %}"; i=$((i + 1)); done
  i=0
  while [ $i -lt 8 ]; do echo "fragment_shader f$i %{ void main() {} %}"; i=$((i + 1)); done
  k=0
  while [ $k -lt 65 ]; do
    [ $((k % 32)) -ne 0 ] || { [ $k -eq 0 ] || echo "}"; echo "technique T$((k / 32)) {"; }
    echo "pass { VertexShader = v$((k / 8)); FragmentShader = f$((k % 8)); }"
    k=$((k + 1))
  done
  echo "}"
} > "$dir/resource/hostile.fx"
echo "not an image" > "$dir/resource/junk.png"
printf 'DDS |\000\000\000' > "$dir/resource/short.dds"
echo "{ \"a\": " > "$dir/resource/broken.mtl"
cat > "$dir/resource/script/QXMain.lua" <<'LUA'
require("QXL")
require("QXGobj")
function main()
  local app = Qeldrin.new(64, 64, "QX")
  local start = os.clock()
  print("hostile", EffectMgr:create("hostile.fx"), "missing", EffectMgr:create("missing.fx"))
  print("cpu", os.clock() - start < 2)
  local junk = TextureMgr:load("junk.png", 0, 1)
  TextureMgr:load("short.dds", 0, 1)
  QX.createRes("broken.mtl")
  TextureMgr:saveAsFile(junk, "unwritable/out.png")
  coroutine.yield(false)
end
LUA
"$dir/qx" > "$dir/out" 2> "$dir/err"
code=$?
if [ $code -eq 0 ] && grep -qF "hostile	nil	missing	nil" "$dir/out" && grep -qF "cpu	true" "$dir/out" &&
   grep -qF "hostile.fx: more than 64 programs" "$dir/log.txt" &&
   grep -qF "missing.fx: no effect file of that name" "$dir/log.txt" &&
   grep -qF "junk.png: " "$dir/log.txt" && grep -qF "short.dds: DDS header cut short" "$dir/log.txt" &&
   grep -qF "broken.mtl: " "$dir/log.txt" && grep -qF "saveAsFile unwritable/out.png: " "$dir/log.txt"; then
  echo ok
  exit 0
fi
echo "FAIL: exit $code; stdout:"; cat "$dir/out"; echo "stderr:"; cat "$dir/err"; echo "log:"; cat "$dir/log.txt"
exit 1
