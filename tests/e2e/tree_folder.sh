#!/usr/bin/env bash
# End to end, the folder tree: with the stored folder holding the sub-folders "chosen" and "other", open the
# options window from the tray menu; the tree shows the stored folder selected. A double click opens it, a
# click on "chosen" selects that folder, OK hides the window, and the next take goes into "chosen". Quit
# stores the folder the tree gave (upper case, trailing backslash).
source "$(dirname "$0")/lib.sh"

takes=$(mktemp -d /tmp/tapewing-tree.XXXXXX)
mkdir "$takes/chosen" "$takes/other"
dos_takes="Z:$(echo "$takes" | tr / '\\')\\"
chosen="$(echo "$dos_takes" | tr a-z A-Z)CHOSEN\\"
cleanup() { kill "$pid" 2>/dev/null; rm -rf "$takes"; }
trap 'cleanup; tapewing_env_stop' EXIT

# The tree paints its selected caption in these colours (focused, unfocused).
colours() {
  wine reg query 'HKCU\Control Panel\Colors' /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/.*REG_SZ[[:space:]]*//p"
}
hilight=$(colours Hilight); face=$(colours ButtonFace)
# Prints "<top> <bottom> <left> <right>" of the selected row of options window $1.
selected_row() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -depth 8 "$art/options.ppm" 2>/dev/null
  python3 "$here/tree_selection.py" "$hilight" "$face" < "$art/options.ppm"
}

clear_tray
wine reg add "$key" /v basedir /t REG_SZ /d "$dos_takes" /f >/dev/null
wine reg add "$key" /v basename /t REG_SZ /d Record /f >/dev/null
wine "$exe" >/dev/null 2>&1 &
pid=$!
open_options
sleep 2
row=$(selected_row "$opts") || fail "the tree shows no selected folder"
read -r top bottom left _ <<< "$row"
echo "stored folder selected at rows $top-$bottom, caption from x $left"
eval "$(xdotool getwindowgeometry --shell "$opts")"
# Clicks go to the caption itself: where it lies depends on the folders around it (the tree scrolls sideways
# to show a long name), and a double click on the expand button would open and close the folder again.
xdotool mousemove $((X + left + 4)) $((Y + (top + bottom) / 2)) sleep 0.3 click --repeat 2 --delay 80 1
sleep 1.5
# Opening the folder may scroll the tree to show its sub-folders: find the folder again.
row=$(selected_row "$opts") || fail "no selected folder after the double click"
read -r top bottom left _ <<< "$row"
pitch=$((bottom - top + 2))
# A sub-folder's caption starts one indent (16 pixels or more) right of its parent's.
xdotool mousemove $((X + left + 24)) $((Y + (top + bottom) / 2 + pitch)) sleep 0.3 click 1
sleep 1.5
import -window root "$art/options-tree.png"
echo "screenshot: $art/options-tree.png"
row=$(selected_row "$opts") || fail "no selected folder after the click"
read -r top2 _ _ _ <<< "$row"
[ "$top2" -eq $((top + pitch)) ] || fail "the click did not select the first sub-folder (row $top2, expected $((top + pitch)))"
click_in "$opts" $((235 + 37)) $((237 + 12 + HEIGHT - 295))
wait_gone '^Tapewing$' 30 || fail "OK did not hide the options window"

echo "a take into the folder picked in the tree"
start_take "${chosen}Record1.wav"
sleep 1.5
click_client "$rec" $STOP_X $STOP_Y
wait_gone '^Recording ' 20 || fail "Stop did not close the recording window"
python3 "$here/wav_check.py" "$takes/chosen/Record1.wav" --max-seconds 6 || fail "the take in the chosen folder"

quit_program
stored=$(wine reg query "$key" /v basedir 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p')
[ "$stored" = "$chosen" ] || fail "stored folder is '$stored', expected '$chosen'"
echo "PASS tree_folder"
