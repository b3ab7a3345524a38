#!/usr/bin/env bash
# The folder tree's costs under Wine, each against a baseline of the same run: expanding a folder with 10,000
# sub-folders and painting it (against an empty folder), re-opening it by the keyboard (against a folder of one),
# paging to the end of its list (against a second time through), opening a path through it for the first time
# (against a folder of one), opening a path 20 levels deep (against one level), and ReadDrives against loading
# a window with the options window's tree. Beside the big folder's figures: the process's processor time,
# which a busy machine does not inflate. Run after scripts/build.sh.   bench/dirtree.sh
# (DIRTREE_BENCH_COUNT sets the number of sub-folders of the big folder, 10,000 by default.)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}/win32"
source "$root/scripts/wine-env.sh"
# The display, sound server and Wine server started for this run stop with it.
trap tapewing_env_stop EXIT
DIRTREE_BENCH=1 sh "$root/tests/dirtree/run_dirtree_tests.sh" "$build/bench/dirtree/dirtree_bench.exe" 2>&1 |
  grep -E '^(expand|re-open|scroll|OpenPath|ReadDrives|FAILED|run through)'
