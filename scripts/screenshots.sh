#!/usr/bin/env bash
# Screenshots of the real program for the README (docs/*.png): the main window on a demo file, a
# drop-down list, the print preview of the memory sheet and the Compare with File dialog, taken
# under a virtual X server.
# Usage: scripts/screenshots.sh [BIN_DIR]   (default: build/release/bin, built by run.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/release/bin}
out="$here/docs"
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh needs $tool" >&2; exit 1; }
done
[ -x "$bin/kestrin" ] || { echo "no $bin/kestrin; build first (scripts/run.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cli() { "$bin/kestrin-cli" "$@" >/dev/null 2>&1; }

# A demo file: a few named channels of a club's repeaters and simplex frequencies.
cli new --destination 0 -o "$work/club.qev"
while IFS='|' read -r ch freq name; do
  cli edit memory "$ch" "Operating Freq" "$freq" "$work/club.qev" --in-place
  cli edit memory "$ch" Name "$name" "$work/club.qev" --in-place
done <<'LIST'
0|146.520|CALL
1|146.940|RPT-N
2|147.120|RPT-S
3|145.230|RPT-E
4|146.550|SIMPLX
5|162.550|NOAA
LIST
cli edit memory 1 DUP -DUP "$work/club.qev" --in-place
cli edit memory 2 DUP +DUP "$work/club.qev" --in-place
cli edit banks A Name CLUB "$work/club.qev" --in-place
cp "$work/club.qev" "$work/radio.qev"
cli edit memory 4 "Operating Freq" 146.580 "$work/radio.qev" --in-place
cli edit banks A Name HOME "$work/radio.qev" --in-place

# Settings as after the initial set-up for the file's destination, so the window opens at once
# (the store is taken only when every group and value is there).
etc=$(sed -n 's/^#EtcData=\([0-9A-Fa-f]*\).*/\1/p' "$work/club.qev" | head -1)
cat >"$work/Kestrin.ini" <<INI
[Global]
BBT=753951
ComPort=1
ComSpeedHigh=1
TransType=0

[Recent%20File%20List]
Recent0=

[View%20Option]
FontSize%20Percentage=100
Toolbar%20Visible=1
FontSize%20Printer=10

[Setup]
ModelType=0
Etc%20Data=$((16#$etc))

[Window%20Position]
Left=0
Top=0
Width=1000
Height=620
SplitterV=190
INI

cat >"$work/shoot.sh" <<'SHOT'
set -euo pipefail
bin=$1 work=$2 out=$3
window() { for _ in $(seq 50); do id=$(xdotool search --onlyvisible --name "$1" | head -1) && [ -n "$id" ] && { echo "$id"; return; }; sleep 0.2; done; return 1; }
"$bin/kestrin" "$work/club.qev" &
app=$!
main=$(window "club.qev - Kestrin") || {
  echo "the main window did not show; windows:" >&2
  xdotool search --name . getwindowname %@ >&2 || true
  exit 1
}
sleep 1.5
# The tree has the focus: Memory CH, open it, channels 0-99.
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers Down Right Down
sleep 1.5
import -window "$main" "$out/main-window.png"
# Into the grid, to channel 1's DUP cell, and open its list.
xdotool key --clearmodifiers Tab Down Right Return
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/drop-down.png"
xdotool key --clearmodifiers Escape
sleep 0.5
# File > Print > Current Sheet on the memory sheet. With no printer installed the program first
# asks for a PDF file name; with one, the print dialog comes first. Either way the preview follows.
xdotool key --clearmodifiers alt+f
sleep 0.5
xdotool key --clearmodifiers p c
for _ in $(seq 50); do
  if id=$(xdotool search --onlyvisible --name "^Save As$" | head -1) && [ -n "$id" ]; then
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 20 "$work/kestrin.pdf"
    xdotool key Return
    break
  elif id=$(xdotool search --onlyvisible --name "^Print$" | head -1) && [ -n "$id" ]; then
    xdotool key Return
    break
  fi
  sleep 0.2
done
preview=$(window "^Kestrin$") || { echo "the print preview did not show" >&2; exit 1; }
sleep 1.5
import -window "$preview" "$out/print-preview.png"
# Closing the preview prints nothing.
xdotool windowfocus --sync "$preview"
xdotool key --clearmodifiers Escape
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+f
sleep 0.5
xdotool key --clearmodifiers m
sleep 0.5
# The file dialog: type the path of the other file.
window "Open" >/dev/null
xdotool type --delay 20 "$work/radio.qev"
xdotool key Return
compare=$(window "Compare with radio.qev")
sleep 1
import -window "$compare" "$out/compare.png"
kill "$app"
SHOT
KESTRIN_SETTINGS_DIR="$work" xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/shoot.sh" "$bin" "$work" "$out"
ls -1 "$out"/*.png
