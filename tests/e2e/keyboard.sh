#!/usr/bin/env bash
# End to end, the keyboard only: Alt+F4 on the options window and on the recording window leaves both up
# (the take goes on growing and Stop still leaves a valid WAV), and so does Escape; Tab moves the recording
# window's focus between Stop and Cancel, Space or Enter presses the focused one; the options window is driven
# with Tab, typing, Enter and Space, its folder chosen with the arrow keys; Enter closes the About window.
source "$(dirname "$0")/lib.sh"

takes=$(mktemp -d /tmp/tapewing-keys.XXXXXX)
mkdir "$takes/keyed"
dos_takes="Z:$(echo "$takes" | tr / '\\')\\"
keyed="$(echo "$dos_takes" | tr a-z A-Z)KEYED\\"
cleanup() { kill "$pid" 2>/dev/null; rm -rf "$takes"; }
trap 'cleanup; tapewing_env_stop' EXIT

size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
# Gives window $1 the keyboard (no window manager runs on the virtual display) and sends the keys.
keys_to() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id"
  sleep 0.5
  xdotool key --delay 150 "$@"
}

clear_tray
wine reg add "$key" /v basedir /t REG_SZ /d "$dos_takes" /f >/dev/null
wine reg add "$key" /v basename /t REG_SZ /d Record /f >/dev/null
wine "$exe" >/dev/null 2>&1 &
pid=$!

echo "options: Alt+F4 is refused"
open_options "first"
sleep 2
keys_to "$opts" alt+F4
sleep 3
kill -0 "$pid" 2>/dev/null || fail "Alt+F4 on the options window ended the program"
xdotool search --onlyvisible --name '^Tapewing$' >/dev/null || fail "Alt+F4 closed the options window"

echo "options: Tab to the base name, type, Tab round to OK, Enter"
# OK has the focus first; the tree, the folder field and the base-name field follow.
keys_to "$opts" Tab Tab Tab
xdotool type --delay 100 Keys
sleep 0.5
import -window root "$art/options-keys.png"
keys_to "$opts" Tab Return
wait_gone '^Tapewing$' 30 || fail "Enter on OK did not hide the options window"

echo "take: Alt+F4 and Escape on the recording window are refused"
start_take "${dos_takes}Keys1.wav"
sleep 2
keys_to "$rec" alt+F4 Escape
sleep 1
before=$(size_of "$takes/Keys1.wav")
sleep 2
after=$(size_of "$takes/Keys1.wav")
echo "take file: $before bytes, 2 s later $after bytes"
xdotool search --onlyvisible --name '^Recording ' >/dev/null || fail "Alt+F4 or Escape closed the recording window"
[ "$after" -ge $((before + 3 * 32768)) ] || fail "the take stopped growing after Alt+F4 and Escape"
shot_window "$rec" recording-focus-stop
keys_to "$rec" Tab
sleep 0.5
shot_window "$rec" recording-focus-cancel
keys_to "$rec" Tab space
wait_gone '^Recording ' 20 || fail "Space on Stop did not close the recording window"
python3 "$here/wav_check.py" "$takes/Keys1.wav" --min-seconds 3 || fail "the take after Alt+F4 and Escape"

echo "options: the arrow keys in the tree choose the folder (Tab to the tree, open the folder, down)"
open_options "tree"
sleep 2
keys_to "$opts" Tab Right Down shift+Tab Return
wait_gone '^Tapewing$' 30 || fail "Enter on OK did not hide the options window after the tree"
echo "take: Tab to Cancel, Enter deletes the take"
start_take "${keyed}Keys1.wav"
sleep 1
keys_to "$rec" Tab Return
wait_gone '^Recording ' 20 || fail "Enter on Cancel did not close the recording window"
[ ! -e "$takes/keyed/Keys1.wav" ] || fail "Cancel from the keyboard kept the take"

echo "about: Enter closes it"
click_icon 3
sleep 2
xdotool key a
about=$(wait_window '^About$' 60) || fail "the About window did not open"
sleep 1
keys_to "$about" Return
wait_gone '^About$' 20 || fail "Enter did not close the About window"

echo "options again: Shift+Tab to the base name, type, Tab, Space on OK"
open_options "second"
sleep 2
keys_to "$opts" shift+Tab
xdotool type --delay 100 Spaced
keys_to "$opts" Tab space
wait_gone '^Tapewing$' 30 || fail "Space on OK did not hide the options window"

quit_program 120
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Spaced$' || fail "typed base name not stored: $values"
echo "$values" | grep -qF "$keyed" || fail "the folder chosen with the keys is not stored: $values"
echo "PASS keyboard"
