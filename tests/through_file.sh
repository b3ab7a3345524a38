#!/bin/sh
# Runs a test command with its output going through a file, then prints the file. Under Wine a test can
# start a process that outlives it (the desktop's explorer.exe, say); holding ctest's pipe, that process
# would keep ctest waiting for it long after the test has ended.
log=$(mktemp /tmp/tapewing-test.XXXXXX)
"$@" >"$log" 2>&1
rc=$?
cat "$log"
rm -f "$log"
exit $rc
