#!/usr/bin/env bash
# How long a stalled write a take survives without losing sound, under Wine with a 997 Hz tone playing into
# the sound server. Run after scripts/build.sh.   bench/stall.sh [stall seconds ...]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}/win32"
source "$root/scripts/wine-env.sh"
trap 'kill "$player" 2>/dev/null; rm -f "$tone"; tapewing_env_stop' EXIT
tone=$(mktemp /tmp/tapewing-tone.XXXXXX.wav)
sox -q -n -r 44100 -c 2 -b 16 "$tone" synth 120 sine 997 vol 0.5
paplay --device=vs "$tone" &
player=$!
wine "$build/bench/stall/stall_bench.exe" "$@"
