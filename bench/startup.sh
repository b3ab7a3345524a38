#!/usr/bin/env bash
# Start-up: from process launch to the icon being in the tray, for tapewing.exe and for a baseline program that
# does nothing but add a tray icon, measured in the same run under the same Wine. Also prints the size of
# tapewing.exe and the DLLs it imports. Run after scripts/build.sh.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}/win32"
source "$root/scripts/wine-env.sh"
trap tapewing_env_stop EXIT
runs="${RUNS:-3}"

tray_visible() { xdotool search --onlyvisible --name '^Wine System Tray$' >/dev/null 2>&1; }

# Seconds from launch until the tray window shows an icon (it appears with the first icon and goes with the last).
measure() {
  local start end pid
  local t=0
  while tray_visible && [ $t -lt 300 ]; do sleep 0.2; t=$((t + 1)); done
  start=$(date +%s.%N)
  wine "$1" >/dev/null 2>&1 &
  pid=$!
  until tray_visible; do sleep 0.05; done
  end=$(date +%s.%N)
  echo "$end - $start" | bc
  [ "$2" = kill ] && kill $pid
  wait $pid 2>/dev/null
}

echo "tapewing.exe size: $(stat -c %s "$build/app/tapewing.exe") bytes (target 400 KB = 409600)"
echo "imports: $(i686-w64-mingw32-objdump -p "$build/app/tapewing.exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')"
for i in $(seq "$runs"); do
  base=$(measure "$build/bench/empty_tray.exe" wait)
  ours=$(measure "$build/app/tapewing.exe" kill)
  echo "run $i: baseline ${base}s, tapewing ${ours}s, ours on top $(echo "$ours - $base" | bc)s"
done
