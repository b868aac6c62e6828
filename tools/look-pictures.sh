#!/usr/bin/env bash
# Loads picture files into the program the way a user does and keeps what
# the screen then shows, to look at by eye. For each file it starts from
# File > New (so a colour the file fails to set shows the fresh document's
# blue), opens File > Load > C64 Image formats > Load from file
# extension..., types the file's absolute path, confirms, and writes the
# 640x400 display area (zoom 2) to <outdir>/<file name>.png; the whole
# screen goes to <outdir>/<file name>.full.png.
#   tools/look-pictures.sh <tilvox> <outdir> <picture files...>
# Needs xvfb-run, xdotool and ImageMagick. The clicks are at fixed places
# of the 1400x900 window the program opens with a fresh configuration, so
# after a change to the menus or the window layout the offsets below need
# a look.
set -u
if [[ $# -lt 3 ]]; then
  echo "usage: $0 <tilvox> <outdir> <picture files...>" >&2
  exit 2
fi
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool not found" >&2; exit 1; }
done

if [[ -z "${LOOK_PICTURES_INNER:-}" ]]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  export XDG_CONFIG_HOME="$work/config" LOOK_PICTURES_INNER=1
  mkdir -p "$XDG_CONFIG_HOME"
  # Not exec: the trap must remove the scratch configuration afterwards.
  xvfb-run -a -s "-screen 0 1600x1000x24" bash "$0" "$@"
  exit $?
fi

tilvox="$1"
outdir="$2"
shift 2
mkdir -p "$outdir"
"$tilvox" &
pid=$!
# The program asks before quitting an edited document; ending the X
# server on the way out closes it.
trap 'kill "$pid" 2>/dev/null' EXIT
wid="$(xdotool search --sync --name "Tilvox" | head -1)"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$wid")"

# Absolute XTest motion alone does not reach the program under Xvfb; a
# relative step after it does. Coordinates are relative to the window.
move() { xdotool mousemove $((X + $1 - 1)) $((Y + $2)) mousemove_relative 1 0; sleep 0.2; }
click() { move "$1" "$2"; xdotool click 1; sleep 0.4; }
away() { move 1300 850; }

for file in "$@"; do
  path="$(realpath "$file")"
  # File > New, then "Yes" in the question box.
  click 17 9; click 20 30; click 651 474; away
  # File > Load > C64 Image formats > Load from file extension...; menus
  # open on hover, so the pointer walks along each one to its submenu.
  click 17 9; move 25 46; move 110 46; move 130 106; move 300 110; click 300 110
  # The dialog's name field, then Enter.
  click 599 610
  xdotool type --delay 20 "$path"; sleep 0.2
  xdotool key Return; sleep 0.8
  away
  name="$(basename "$file")"
  import -window root "$outdir/$name.full.png"
  convert "$outdir/$name.full.png" -crop "640x400+$((X + 410))+$((Y + 270))" +repage "$outdir/$name.png"
  echo "$outdir/$name.png"
done
