#!/usr/bin/env bash
# End to end: start tapewing.exe in the prepared Wine prefix on the virtual display, open the options window
# from the tray menu, close it with OK, quit from the tray menu, and check the settings in the registry.
# Then store other settings and check that a second start shows them.
source "$(dirname "$0")/lib.sh"

wine reg delete "$key" /f >/dev/null 2>&1
clear_tray

# Starts the program, opens the options window from the tray menu, saves a screenshot as $1.png, closes the
# window with OK and quits from the tray menu; $2 names the run in failure messages.
options_round() {
  wine "$exe" &
  pid=$!
  open_options "$2"
  sleep 2
  import -window root "$art/$1.png"
  echo "screenshot: $art/$1.png"
  shot_window "$opts" "$1-window"
  # OK sits at 235,237 (75 x 25) in the client area; the X window covers the client area.
  eval "$(xdotool getwindowgeometry --shell "$opts")"
  click_in "$opts" $((235 + 37)) $((237 + 12 + HEIGHT - 295))
  wait_gone '^Tapewing$' 30 || fail "OK did not hide the options window ($2)"
  quit_program 120 "$2"
}

echo "first start"
options_round options-first "first start"
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$values"
echo "$values" | grep -q 'basedir[[:space:]]*REG_SZ[[:space:]]*C:\\$' || fail "basedir not C:\\"
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Record$' || fail "basename not Record"

echo "second start with stored settings"
wine reg add "$key" /v basedir /t REG_SZ /d 'C:\windows\' /f >/dev/null
wine reg add "$key" /v basename /t REG_SZ /d 'Session' /f >/dev/null
options_round options-stored "second start"
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Session$' || fail "stored basename not kept"
echo "PASS tray_options"
