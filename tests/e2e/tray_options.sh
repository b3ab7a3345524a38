#!/usr/bin/env bash
# End to end: start tapewing.exe in the prepared Wine prefix on the virtual display, open the options window
# from the tray menu, close it with OK, quit from the tray menu, and check the settings in the registry.
# Then store other settings and check that a second start shows them.
#   TAPEWING_EXE  the program;  ARTEFACTS  folder for screenshots
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/wine-env.sh"
exe="${TAPEWING_EXE:?}"
art="${ARTEFACTS:-/tmp/tapewing-artefacts}"
mkdir -p "$art"
key='HKCU\SOFTWARE\Larkmoor\Tapewing'
fail() { echo "FAIL: $*"; import -window root "$art/failure.png" 2>/dev/null; kill "$pid" 2>/dev/null; exit 1; }

# Waits up to $2 seconds for a window whose name matches $1; prints its id.
wait_window() {
  local deadline=$((SECONDS + $2)) id
  while [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 1
  done
  return 1
}
wait_gone() {
  local deadline=$((SECONDS + $2))
  while [ $SECONDS -lt $deadline ]; do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 1
  done
  return 1
}

# Clicks the first icon in the Wine tray window with button $1.
click_icon() {
  local tray x y
  tray=$(wait_window '^Wine System Tray$' 240) || fail "no tray window"
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  x=$((X + 8)); y=$((Y + HEIGHT / 2))
  xdotool mousemove "$x" "$y" sleep 0.3 click "$1"
}

# Clicks at a client position of a Tapewing window found by name.
click_in() {
  local id=$1 cx=$2 cy=$3
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + cx)) $((Y + cy)) sleep 0.3 click 1
}

wine reg delete "$key" /f >/dev/null 2>&1

echo "first start"
wine "$exe" &
pid=$!
click_icon 3
sleep 3
xdotool key o
opts=$(wait_window '^Tapewing$' 60) || fail "options window did not open"
sleep 2
import -window root "$art/options-first.png"
echo "screenshot: $art/options-first.png"
# OK sits at 235,237 (75 x 25) in the client area; the X window covers the client area.
eval "$(xdotool getwindowgeometry --shell "$opts")"
click_in "$opts" $((235 + 37)) $((237 + 12 + HEIGHT - 295))
wait_gone '^Tapewing$' 30 || fail "OK did not hide the options window"
click_icon 3
sleep 3
xdotool key q
for _ in $(seq 120); do kill -0 "$pid" 2>/dev/null || break; sleep 1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Quit"

values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$values"
echo "$values" | grep -q 'basedir[[:space:]]*REG_SZ[[:space:]]*C:\\$' || fail "basedir not C:\\"
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Record$' || fail "basename not Record"

echo "second start with stored settings"
wine reg add "$key" /v basedir /t REG_SZ /d 'C:\windows\' /f >/dev/null
wine reg add "$key" /v basename /t REG_SZ /d 'Session' /f >/dev/null
wine "$exe" &
pid=$!
click_icon 3
sleep 3
xdotool key o
opts=$(wait_window '^Tapewing$' 60) || fail "options window did not open the second time"
sleep 2
import -window root "$art/options-stored.png"
echo "screenshot: $art/options-stored.png"
eval "$(xdotool getwindowgeometry --shell "$opts")"
click_in "$opts" $((235 + 37)) $((237 + 12 + HEIGHT - 295))
wait_gone '^Tapewing$' 30 || fail "OK did not hide the options window"
click_icon 3
sleep 3
xdotool key q
for _ in $(seq 120); do kill -0 "$pid" 2>/dev/null || break; sleep 1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after the second Quit"
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Session$' || fail "stored basename not kept"
echo "PASS tray_options"
