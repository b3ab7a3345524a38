#!/usr/bin/env bash
# The main job's costs under Wine, with a tone playing into the sound server: tray click to recorder start,
# CPU per recorded minute against a bare recorder in the same run, private memory recording against idle.
# Run after scripts/build.sh.   bench/take.sh [seconds per recording]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}/win32"
source "$root/scripts/wine-env.sh"
trap tapewing_env_stop EXIT
tone=$(mktemp /tmp/tapewing-tone.XXXXXX.wav)
sox -q -n -r 44100 -c 2 -b 16 "$tone" synth 120 sine 440 vol 0.5
paplay --device=vs "$tone" &
player=$!
wine "$build/bench/take/take_bench.exe" "${1:-10}"
kill "$player" 2>/dev/null
rm -f "$tone"
