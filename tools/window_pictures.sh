#!/usr/bin/env bash
# Takes pictures of the two windows in a fixed state, so that two builds can be compared pixel for pixel
# (compare -metric AE a.png b.png null:):
#   options.png    the options window on prepared drives, as the README shows it
#   recording.png  the recording window at 00:01 of a silent take, Stop focused
# usage: bash tools/window_pictures.sh OUTDIR   (TAPEWING_EXE defaults to this tree's build)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:?usage: window_pictures.sh OUTDIR}" && cd "$1" && pwd)"
export TAPEWING_EXE="${TAPEWING_EXE:-$root/build/win32/app/tapewing.exe}"
export TAPEWING_STATE="${TAPEWING_STATE:-$root/build/picture-state}"
work=$(mktemp -d /tmp/tapewing-pictures.XXXXXX)
export ARTEFACTS="$work"

# The options window: the end-to-end run that takes the README's picture.
bash "$root/tests/e2e/tray_options.sh" >"$work/options.log" 2>&1 || { cat "$work/options.log"; exit 1; }
cp "$work/options-stored-window.png" "$out/options.png"

# The recording window: a take with nothing playing, pictured while its LCD reads 00:01.
source "$root/tests/e2e/lib.sh"
takes="$work/takes"
mkdir -p "$takes"
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"; tapewing_env_stop' EXIT
wine reg add "$key" /v basedir /t REG_SZ /d "Z:$(echo "$takes" | tr / '\\')\\" /f >/dev/null
wine reg add "$key" /v basename /t REG_SZ /d Picture /f >/dev/null
clear_tray
wine "$exe" >/dev/null 2>&1 &
pid=$!
click_icon 1
rec=$(wait_window '^Recording ' 60) || fail "the recording window did not appear"
for _ in $(seq 40); do
  info=$(read_window "$rec")
  if [ "${info%% *}" = 00:01 ]; then
    shot_window "$rec" recording >/dev/null
    cp "$art/recording.png" "$out/recording.png"
    break
  fi
  sleep 0.1
done
[ -f "$out/recording.png" ] || fail "the LCD never read 00:01 (last: $info)"
click_client "$rec" $CANCEL_X $CANCEL_Y
wait_gone '^Recording ' 20 || fail "Cancel did not close the recording window"
quit_program
echo "pictures: $out/options.png $out/recording.png"
