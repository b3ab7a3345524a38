# Sourced by the run and test scripts (and by developers): brings up what Tapewing needs under Wine on
# Linux and exports the variables that point at it. Safe to source again; starts only what is missing.
#   TAPEWING_STATE  folder for the prefix, the X display's lock and the sound server (default /tmp/tapewing-dev)
#   TAPEWING_FRESH=1  start from an empty Wine prefix
# tapewing_env_stop stops what this shell started here (and only that): the display, the sound server and
# the prefix's Wine server, if each was started by this sourcing.
: "${TAPEWING_STATE:=/tmp/tapewing-dev}"
mkdir -p "$TAPEWING_STATE"
export WINEPREFIX="$TAPEWING_STATE/prefix"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d}"
export XDG_RUNTIME_DIR="$TAPEWING_STATE/xdg"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
tapewing_started_pids="${tapewing_started_pids:-}"
tapewing_started_wineserver="${tapewing_started_wineserver:-0}"
tapewing_env_stop() {
  if [ "$tapewing_started_wineserver" = 1 ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    tapewing_started_wineserver=0
  fi
  local p
  for p in $tapewing_started_pids; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  tapewing_started_pids=""
  return 0
}

# Whether process $1 is an Xvfb serving display $2 (":N"): it runs, it was started for that display, and the
# display's lock names it.
tapewing_xvfb_serves() {
  local cmd lock="/tmp/.X${2#:}-lock"
  [ -n "$1" ] && [ -r "/proc/$1/cmdline" ] && [ -r "$lock" ] || return 1
  [ "$(tr -d ' \n' < "$lock")" = "$1" ] || return 1
  cmd=$(tr '\0' '\n' < "/proc/$1/cmdline")
  [ "$(basename "$(printf '%s\n' "$cmd" | head -n 1)")" = Xvfb ] && printf '%s\n' "$cmd" | grep -qxF -- "$2"
}

# A virtual display when there is none (announced, so a person knows where the windows are). The display
# file holds the display this state folder started and its server's PID: a display that answers at that
# number but was started by someone else (another run's, after ours ended) is not reused, so two runs never
# click into each other's windows.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  disp_file="$TAPEWING_STATE/display"
  disp="" disp_pid=""
  [ -f "$disp_file" ] && read -r disp disp_pid _ < "$disp_file"
  if [ -n "$disp" ] && tapewing_xvfb_serves "$disp_pid" "$disp" && DISPLAY="$disp" xdpyinfo >/dev/null 2>&1; then
    export DISPLAY="$disp"
  else
    for n in $(seq 90 140); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      disp_pid=$!
      for _ in $(seq 50); do
        tapewing_xvfb_serves "$disp_pid" ":$n" && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
      done
      # Another run may have taken the number in the meantime: then this server gives up; try the next.
      if ! tapewing_xvfb_serves "$disp_pid" ":$n"; then
        kill "$disp_pid" 2>/dev/null; wait "$disp_pid" 2>/dev/null
        continue
      fi
      tapewing_started_pids+=" $disp_pid"
      export DISPLAY=":$n"
      echo "$DISPLAY $disp_pid" > "$disp_file"
      echo "tapewing: started a virtual display on $DISPLAY (Xvfb)" >&2
      break
    done
  fi
fi

# A user-mode sound server with a null sink whose monitor is the default source: Wine records from it.
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
if ! pactl info >/dev/null 2>&1; then
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    -L "module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse/native" \
    -L "module-null-sink sink_name=vs" >"$TAPEWING_STATE/pulse.log" 2>&1 &
  tapewing_started_pids+=" $!"
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink vs >/dev/null 2>&1 || true
  pactl set-default-source vs.monitor >/dev/null 2>&1 || true
fi

if [ "${TAPEWING_FRESH:-0}" = 1 ] && [ -d "$WINEPREFIX" ]; then
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
fi
# Wine's own faces ("MS Sans Serif", Tahoma, ...) come with fonts-wine, but Debian's Wine 8 looks for them
# in "<data folder>\../fonts\", a name its own file layer rejects as invalid, so none is loaded and every
# face falls back to the wider DejaVu Sans. Each process loads the fonts in the prefix's Fonts folder:
# link them there (fonts are read at process start, so this is in time for every program started after).
wine_fonts=/usr/share/wine/fonts
prefix_fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d "$wine_fonts" ] && [ -d "$prefix_fonts" ]; then
  for font in "$wine_fonts"/*; do
    [ -e "$prefix_fonts/${font##*/}" ] || ln -s "$font" "$prefix_fonts/"
  done
fi
# Is this prefix's server up already? (Its socket lives in a folder named after the prefix's device and inode,
# under /tmp/.wine-UID or, with some builds, /tmp/wine-XXXXXX.)
server_id="server-$(stat -c '%d %i' "$WINEPREFIX" | xargs printf '%x-%x')"
server_was_up=0
for sock in /tmp/.wine-"$(id -u)"/"$server_id"/socket /tmp/wine-*/"$server_id"/socket; do
  [ -S "$sock" ] && server_was_up=1
done
[ "$server_was_up" = 0 ] && tapewing_started_wineserver=1
# A persistent server spares each process the server start.
# (When this prefix's server already runs, the call only makes it persistent.)
wineserver -p >/dev/null 2>&1 || true
# Start the prefix's background services now, detached from the caller's output: a service started by the
# first program of a test run would keep that program's output pipe open, and ctest would wait for it.
if [ "$server_was_up" = 0 ]; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

# tapewing_windows_managed yes|no: whether Wine leaves its top-level windows to a window manager (the
# default, and what a person's desktop has). No window manager runs on the virtual display, and there Wine
# waits two seconds for one each time such a window is hidden; the unit tests, which show and hide windows
# by the hundred, run with "no". Menus driven from the keyboard need "yes". Takes effect for new processes.
tapewing_windows_managed() {
  local key='HKCU\Software\Wine\X11 Driver'
  if [ "$1" = no ]; then
    wine reg add "$key" /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
  else
    wine reg delete "$key" /v Managed /f </dev/null >/dev/null 2>&1 || true
  fi
}
