#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test: the platform-free tests natively, the
# Windows tests under Wine in a private prefix made here, then the end-to-end tests on a virtual display.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh" || exit 1
bash "$root/scripts/build.sh" || exit 1

status=0
echo "== platform-free tests (native, sanitizers)"
ctest --test-dir "$build/native" --output-on-failure || status=1

echo "== Windows tests (under Wine)"
export TAPEWING_STATE="$build/test-state"
# A display of our own, so the tests never touch a person's desktop.
unset DISPLAY
export TAPEWING_FRESH=1
source "$root/scripts/wine-env.sh"
unset TAPEWING_FRESH
# Whatever happens, the display, sound server and Wine server started for this run stop with it.
trap tapewing_env_stop EXIT
tapewing_windows_managed no
ctest --test-dir "$build/win32" --output-on-failure -j2 || status=1
tapewing_windows_managed yes
# The desktop and its tray were started by the unit tests with unmanaged windows, where the tray's menus do
# not get the keyboard: each end-to-end script starts a Wine server of its own, with a new desktop.
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null

echo "== end-to-end tests"
for t in "$root"/tests/e2e/*.sh; do
  [ "$(basename "$t")" = lib.sh ] && continue
  echo "-- $(basename "$t")"
  TAPEWING_EXE="$build/win32/app/tapewing.exe" ARTEFACTS="$build/artefacts" bash "$t" || status=1
done

exit $status
