#!/usr/bin/env bash
# End to end, a take never fails in silence. On a sound server of this script's own (so that it may unload its
# sink and kill it), with a tone playing: no input at the click; the input vanishing mid-take, then back for
# the next take; the sound server killed mid-take and started again; a drive that fills up; the session's end
# query with the log-off cancelled; the session's real end. Each time the message box's text is read back and
# a screenshot of it is kept, and the take on disk is checked.
source "$(dirname "$0")/lib.sh"

probe="${exe%/app/tapewing.exe}/tests/e2e/e2e_probe.exe"
[ -f "$probe" ] || fail "no e2e_probe.exe next to the program's build"
takes=$(mktemp -d /tmp/tapewing-failures.XXXXXX)
dos_takes="Z:$(echo "$takes" | tr / '\\')\\"
full="$takes.full"
dos_full="Z:$(echo "$full" | tr / '\\')\\"
tone="$takes.tone.wav"
pulse_dir="$TAPEWING_STATE/xdg-failures"
export PULSE_SERVER="unix:$pulse_dir/pulse/native"
server=0
player=0
cleanup() {
  kill "$player" "$pid" 2>/dev/null
  [ "$server" != 0 ] && kill -9 "$server" 2>/dev/null
  mountpoint -q "$full" 2>/dev/null && umount "$full"
  rm -rf "$takes" "$full" "$tone" "$pulse_dir"
}
trap 'cleanup; tapewing_env_stop' EXIT

start_server() {
  mkdir -p "$pulse_dir" && chmod 700 "$pulse_dir"
  XDG_RUNTIME_DIR="$pulse_dir" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    -L "module-native-protocol-unix socket=$pulse_dir/pulse/native" >"$pulse_dir.log" 2>&1 &
  server=$!
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  load_sink
}
load_sink() {
  pactl load-module module-null-sink sink_name=vs >/dev/null
  pactl set-default-sink vs && pactl set-default-source vs.monitor
}
unload_sink() { pactl unload-module "$(pactl list short modules | awk '/module-null-sink/ {print $1; exit}')"; }
start_program() {
  wine reg add "$key" /v basedir /t REG_SZ /d "$1" /f >/dev/null
  wine reg add "$key" /v basename /t REG_SZ /d "${2:-Take}" /f >/dev/null
  wine "$exe" >/dev/null 2>&1 &
  pid=$!
}
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

# Waits up to $1 seconds for the program's message box; its text goes to $art/$2.txt, its picture to $art/$2.png.
read_box() {
  local box
  box=$(wait_window '^Tape Wing$' "$1") || fail "no message box ($2)"
  sleep 1
  wine "$probe" text "Tape Wing" 2>/dev/null | tr -d '\r' > "$art/$2.txt"
  import -window root "$art/$2.png" 2>/dev/null
  echo "message ($2, $art/$2.png):"
  sed 's/^/    /' "$art/$2.txt"
}
box_says() { grep -qF -- "$2" "$art/$1.txt" || fail "the message ($1) does not say: $2"; }
# OK is the box's only button, centred near its bottom (a click leaves the keyboard where the menus expect it).
close_box() {
  local box
  box=$(xdotool search --onlyvisible --name '^Tape Wing$' | head -1)
  [ -n "$box" ] || return 0
  eval "$(xdotool getwindowgeometry --shell "$box")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 22)) sleep 0.3 click 1
  wait_gone '^Tape Wing$' 20 || fail "the message box did not close"
}
stop_take() {
  click_client "$rec" $STOP_X $STOP_Y
  wait_gone '^Recording ' 20 || fail "Stop did not close the recording window ($1)"
}
# The take in $1 is a valid WAV of at least $2 seconds holding the tone.
check_take() { python3 "$here/wav_check.py" "$1" --min-seconds "$2" --tone 440 || fail "the take $1"; }

start_server
sox -q -n -r 44100 -c 2 -b 16 "$tone" synth 30 sine 440 vol 0.5
( while true; do paplay --device=vs "$tone" 2>/dev/null || sleep 0.5; done ) &
player=$!

clear_tray
start_program "$dos_takes"

echo "no input at the click: told at once, no file, and the next take works once the input is back"
unload_sink
click_icon 1
read_box 60 no-input
box_says no-input "Recording could not start."
box_says no-input "Could not open the input device for recording:"
box_says no-input "Nothing was saved."
close_box
wait_gone '^Recording ' 10 || fail "the recording window stayed up after a take that could not start"
[ -z "$(ls "$takes")" ] || fail "a take that could not start left a file: $(ls "$takes")"
load_sink
start_take "${dos_takes}Take1.wav"
sleep 3
stop_take "input back"
check_take "$takes/Take1.wav" 1

echo "the input vanishes mid-take: told within seconds, the clock stops, Stop keeps what was recorded"
start_take "${dos_takes}Take2.wav"
sleep 4
unload_sink
gone=$SECONDS
read_box 20 input-lost
echo "told $((SECONDS - gone)) s after the input went"
box_says input-lost "No sound has come from the input device for 2 seconds, so it has stopped."
box_says input-lost "Take2.wav keeps the"
box_says input-lost "Stop keeps the take, Cancel deletes it."
close_box
lcd1=$(read_window "$rec" | cut -d' ' -f1)
sleep 2
lcd2=$(read_window "$rec" | cut -d' ' -f1)
[ "$lcd1" = "$lcd2" ] || fail "the clock ran on after the input was lost: $lcd1, then $lcd2"
stop_take "input lost"
check_take "$takes/Take2.wav" 1.5
load_sink
start_take "${dos_takes}Take3.wav"
sleep 3
stop_take "input back again"
check_take "$takes/Take3.wav" 1

echo "the sound server is killed mid-take and started again"
start_take "${dos_takes}Take4.wav"
sleep 4
kill -9 "$server"
wait "$server" 2>/dev/null
server=0
read_box 20 server-lost
box_says server-lost "No sound has come from the input device"
close_box
stop_take "server lost"
check_take "$takes/Take4.wav" 1.5
start_server
sleep 1
start_take "${dos_takes}Take5.wav"
sleep 3
stop_take "server back"
check_take "$takes/Take5.wav" 1
quit_program

echo "a drive that fills up"
mkdir -p "$full"
if mount -t tmpfs -o size=1m tmpfs "$full" 2>/dev/null; then
  start_program "$dos_full" Full
  start_take "${dos_full}Full1.wav"
  read_box 40 drive-full
  box_says drive-full "(Error writing wave file: "
  box_says drive-full "Full1.wav keeps the"
  close_box
  stop_take "drive full"
  python3 "$here/wav_check.py" "$full/Full1.wav" --min-seconds 1 || fail "the take on the full drive"
  quit_program
  umount "$full"
else
  echo "SKIP: cannot mount a small tmpfs here (needs root)"
fi

echo "the session's end: the query alone leaves the take recording; the real end finishes it and keeps the settings"
start_program "$dos_takes" Session
start_take "${dos_takes}Session1.wav"
sleep 3
answer=$(wine "$probe" session "Tape Wing" 0 2>/dev/null | tr -d '\r')
echo "$answer"
echo "$answer" | grep -q "no by 0" || fail "the program refused the log-off"
python3 "$here/wav_check.py" "$takes/Session1.wav" --min-seconds 1 || fail "the file on disk after the query"
before=$(size_of "$takes/Session1.wav")
sleep 2
[ "$(size_of "$takes/Session1.wav")" -gt "$before" ] || fail "a cancelled log-off stopped the take"
xdotool search --onlyvisible --name '^Recording ' >/dev/null || fail "the recording window went at the query"
# The fields as the user left them (not yet saved) must reach the store at the session's end.
wine reg add "$key" /v basename /t REG_SZ /d Changed /f >/dev/null
wine reg add "$key" /v basedir /t REG_SZ /d 'C:\' /f >/dev/null
wine wineboot --end-session >/dev/null 2>&1
wait_exit 60 || { echo "note: the program was still running after the session's end"; kill "$pid"; }
check_take "$takes/Session1.wav" 3
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Session$' || fail "the settings were not saved: $values"
echo "$values" | grep -qF "$dos_takes" || fail "the folder was not saved: $values"
clear_tray
echo "PASS failures"
