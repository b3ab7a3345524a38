#!/usr/bin/env bash
# Repaint cost of the recording window's clock label under Wine, and a screenshot of it showing "03:07".
# Usage: bench/lcd/run_bench.sh BUILD_DIR   (a cross build with target lcd_bench built)
set -euo pipefail
build="${1:?build folder}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/wine-env.sh"
trap tapewing_env_stop EXIT
wine "$build/tests/lcd/lcd_bench.exe"
wine "$build/tests/lcd/lcd_bench.exe" --show 30 'Z:\tmp\lcd-0307.bmp' &
pid=$!
for _ in $(seq 240); do xdotool search --name '^LCD 03:07$' >/dev/null 2>&1 && break; sleep 1; done
sleep 5
import -window root /tmp/lcd-0307-screen.png && echo "screenshot: /tmp/lcd-0307-screen.png"
wait "$pid"
