# Shared by the end-to-end scripts, sourced first: brings up Wine, the display and the sound server, reads
#   TAPEWING_EXE  the program;  ARTEFACTS  folder for screenshots
# and offers finding, waiting for and clicking the program's windows and its tray icon on the virtual display.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$root/scripts/wine-env.sh"
# Run on its own, a script stops the display, sound server and Wine server it started (under scripts/test.sh
# they are the test run's and stay up). Scripts with a clean-up of their own call tapewing_env_stop in it.
trap tapewing_env_stop EXIT
exe="${TAPEWING_EXE:?}"
art="${ARTEFACTS:-/tmp/tapewing-artefacts}"
mkdir -p "$art"
pid=0
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

# Waits up to $1 seconds for the process pid to end; true when it did.
wait_exit() {
  local deadline=$((SECONDS + $1))
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 1
  done
  return 1
}

# Opens the options window from the tray menu and waits for it; sets opts to its window. $1 names the run.
open_options() {
  click_icon 3
  sleep 3
  xdotool key o
  opts=$(wait_window '^Tapewing$' 60) || fail "options window did not open${1:+ ($1)}"
}

# Quits from the tray menu and waits up to $1 seconds (default 60) for the program to end. $2 names the run.
# On a busy machine the menu can open after the key was sent; the key is then sent once more to the open menu.
quit_program() {
  click_icon 3
  sleep 2
  xdotool key q
  wait_exit 15 && return 0
  xdotool key q
  wait_exit "${1:-60}" || fail "the program did not end after Quit${2:+ ($2)}"
}

# Starts a take with a left click on the tray icon; sets rec to the recording window and checks that its
# title names the file $1.
start_take() {
  local title
  click_icon 1
  rec=$(wait_window '^Recording ' 60) || fail "the recording window did not appear"
  title=$(xdotool getwindowname "$rec")
  echo "window: $title"
  [ "$title" = "Recording $1" ] || fail "window title is '$title', expected 'Recording $1'"
}

# Icons left by a program that was killed stay in Wine's tray until something touches them: a click on one
# whose window is gone removes it. Call only while none of our programs runs.
clear_tray() {
  local tray
  for _ in $(seq 10); do
    tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -1)
    [ -z "$tray" ] && return 0
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    xdotool mousemove $((X + 8)) $((Y + HEIGHT / 2)) sleep 0.2 click 1
    sleep 1
  done
}

# Saves what the screen shows of window $1 as $art/$2.png (the pictures in the README come from these).
shot_window() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$art/$2.png" 2>/dev/null
  echo "window picture: $art/$2.png"
}

# Prints "<lcd text> <lit segments> <client x> <client y>" for recording window $1.
# The window is cut out of a screenshot of the whole screen at its X geometry.
read_window() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -depth 8 "$art/window.ppm" 2>/dev/null
  python3 "$here/recwin_read.py" < "$art/window.ppm"
}

# Clicks a button of recording window $1 at client position ($2, $3), using the client origin found on screen.
click_client() {
  local id=$1 info cx cy
  info=$(read_window "$id")
  cx=$(echo "$info" | cut -d' ' -f3); cy=$(echo "$info" | cut -d' ' -f4)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + cx + $2)) $((Y + cy + $3)) sleep 0.3 click 1
}
STOP_X=225; STOP_Y=22; CANCEL_X=39; CANCEL_Y=22
