#!/bin/sh
# Runs the folder-tree tests under Wine: two free drive letters are linked to temporary folders
# (the running Wine server learns of them through DefineDosDevice inside the test).
# Usage: run_dirtree_tests.sh <dirtree_tests.exe> [gtest arguments]
exe="$1"; shift
: "${WINEPREFIX:?source scripts/wine-env.sh first}"
dev="$WINEPREFIX/dosdevices"
pick() {
  for l in p q r s t u v w x y; do
    [ "$l" = "$1" ] && continue
    [ -e "$dev/$l:" ] || [ -L "$dev/$l:" ] || { echo "$l"; return; }
  done
}
r=$(pick); s=$(pick "$r")
[ -n "$r" ] && [ -n "$s" ] || { echo "no free drive letters in $dev" >&2; exit 1; }
work=$(mktemp -d /tmp/dirtree-tests.XXXXXX)
cleanup() { rm -f "$dev/$r:" "$dev/$s:"; rm -rf "$work"; }
trap cleanup EXIT INT TERM

R="$work/$r"
mkdir -p "$R/alpha" "$R/Beta" "$R/gamma/g1" "$R/MixedCase/deep/deeper" "$R/.hid/inner" "$R/RECYCLED/OLD" \
         "$R/BACKUP/RECYCLED/OLD" "$R/emptyonly" "$work/$s/one" "$work/files"
: > "$work/files/one.txt"; : > "$work/files/two.wav"; : > "$work/files/three.doc"
if [ -n "$DIRTREE_BENCH" ]; then
  mkdir -p "$R/bench/big" "$R/bench/empty" "$R/bench/small/only" "$R/bench/deep/l1/l2/l3/l4/l5/l6/l7/l8/l9/l10/l11/l12/l13/l14/l15/l16/l17"
  (cd "$R/bench/big" && seq -f "d%05g" 1 ${DIRTREE_BENCH_COUNT:-10000} | xargs mkdir)
fi
ln -s "$R" "$dev/$r:"
ln -s "$work/$s" "$dev/$s:"

DIRTREE_R=$r DIRTREE_S=$s DIRTREE_WORK_DOS="Z:$(echo "$work" | tr / '\\')" wine "$exe" "$@"
