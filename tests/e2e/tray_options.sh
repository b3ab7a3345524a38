#!/usr/bin/env bash
# End to end: start tapewing.exe in the prepared Wine prefix on the virtual display, open the options window
# from the tray menu, close it with OK, quit from the tray menu, and check the settings in the registry.
# Then store other settings and check that a second start shows them.
# The second start's picture of the options window is the README's: it is taken with drive C: pointing at a
# prepared folder, as a user's machine would show it, instead of this machine's folders.
source "$(dirname "$0")/lib.sh"

# Drive letters for the picture: C: is a folder holding a few ordinary folders and the prefix's own
# Windows, Users and Program Files (so programs still run), and there is no Z: (this machine's root).
# Wine reads the drive links when its server starts, so the server is restarted around the change; the
# links are put back before anything else runs, and on every exit.
dev="$WINEPREFIX/dosdevices"
saved_dev="$TAPEWING_STATE/saved-dosdevices"
picture_c="$TAPEWING_STATE/picture-c"
picture_exe="$WINEPREFIX/drive_c/Program Files/Tapewing/tapewing.exe"
restart_wine_server() {
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  wineserver -p >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
}
picture_drives() {
  normal_drives  # a run that was killed with the links changed
  rm -rf "$picture_c"
  mkdir -p "$picture_c/Music" "$picture_c/Recordings" "$saved_dev" "${picture_exe%/*}"
  ln -s "$WINEPREFIX/drive_c/windows" "$picture_c/Windows"
  ln -s "$WINEPREFIX/drive_c/users" "$picture_c/Users"
  ln -s "$WINEPREFIX/drive_c/Program Files" "$picture_c/Program Files"
  cp "$exe" "$picture_exe"
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  mv "$dev"/* "$saved_dev"/
  ln -s "$picture_c" "$dev/c:"
  restart_wine_server
}
normal_drives() {
  [ -d "$saved_dev" ] || return 0
  cd "$root" || return 1
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  rm -f "$dev/c:"
  mv "$saved_dev"/* "$dev"/ 2>/dev/null
  rm -rf "$saved_dev" "$picture_c" "${picture_exe%/*}"
  restart_wine_server
}
trap 'normal_drives; tapewing_env_stop' EXIT

# Starts the program ($3, default the one under test), opens the options window from the tray menu, saves a
# screenshot as $1.png, closes the window with OK and quits from the tray menu; $2 names the run in failure
# messages.
options_round() {
  wine "${3:-$exe}" &
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

wine reg delete "$key" /f >/dev/null 2>&1
clear_tray

echo "first start"
options_round options-first "first start"
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
echo "$values"
echo "$values" | grep -q 'basedir[[:space:]]*REG_SZ[[:space:]]*C:\\$' || fail "basedir not C:\\"
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Record$' || fail "basename not Record"

echo "second start with stored settings (on the prepared drives)"
picture_drives
clear_tray
# (Started from the prepared C:, since this machine's folders have no drive letter now.)
cd "$picture_c" || fail "no prepared drive C:"
wine reg add "$key" /v basedir /t REG_SZ /d 'C:\Recordings\' /f >/dev/null
wine reg add "$key" /v basename /t REG_SZ /d 'Session' /f >/dev/null
options_round options-stored "second start" 'C:\Program Files\Tapewing\tapewing.exe'
values=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
cd "$root"
echo "$values" | grep -q 'basedir[[:space:]]*REG_SZ[[:space:]]*C:\\Recordings\\$' || fail "stored folder not kept"
echo "$values" | grep -q 'basename[[:space:]]*REG_SZ[[:space:]]*Session$' || fail "stored basename not kept"
normal_drives
echo "PASS tray_options"
