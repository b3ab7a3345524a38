#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tapewing under Wine on $DISPLAY (or on a virtual display that
# it starts and names). The program lives in the tray: the "Wine System Tray" window when no desktop tray runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
TAPEWING_NATIVE=0 bash "$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
# What was started for the program runs while it runs, and stops when it ends (or this script is stopped).
trap tapewing_env_stop EXIT
trap 'exit 130' INT TERM
echo "tapewing: starting on display $DISPLAY (Wine prefix $WINEPREFIX)"
status=0
wine "${BUILD_DIR:-$root/build}/win32/app/tapewing.exe" || status=$?
exit $status
