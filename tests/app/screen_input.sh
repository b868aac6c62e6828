#!/usr/bin/env bash
# Drives the program under Xvfb with real X input: types text with the Text
# tool, draws a line with the Line tool and a filled box with the Box tool,
# then checks the pixels of a screenshot. Skipped (77) where xvfb-run,
# xdotool or ImageMagick's import are missing.
#   screen_input.sh <tilvox> [keep.png]
set -u
tilvox="$1"
keep="${2:-}"
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool not found: skipping"
    exit 77
  fi
done

if [[ -z "${SCREEN_INPUT_INNER:-}" ]]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  export XDG_CONFIG_HOME="$work/config" SCREEN_INPUT_INNER="$work"
  mkdir -p "$XDG_CONFIG_HOME"
  exec xvfb-run -a -s "-screen 0 1600x1000x24" bash "$0" "$tilvox" "$keep"
fi
work="$SCREEN_INPUT_INNER"

fail() { echo "FAIL: $*"; kill "$pid" 2>/dev/null; exit 1; }

"$tilvox" &
pid=$!
wid="$(xdotool search --sync --name "Tilvox" | head -1)"
[[ -n "$wid" ]] || fail "no window"
sleep 2

# The default palette: background $D021 = 6, drawing colour 14.
bg='#3E31A2'
pen='#7C70DA'

# The display area is the one rectangle in the background colour inside the
# window away from the tool palette and the status bar, whose colour
# swatches hold that colour too.
eval "$(xdotool getwindowgeometry --shell "$wid")"
import -window root "$work/before.png"
cx=$((X + 100)); cy=$((Y + 60))
geom="$(convert "$work/before.png" -crop "$((WIDTH - 100))x$((HEIGHT - 120))+$cx+$cy" +repage \
  -fill black +opaque "$bg" -trim -format '%w %h %X %Y' info:)"
read -r dw dh ox oy <<<"${geom//+/}"
ox=$((ox + cx)); oy=$((oy + cy))
zoom=$((dw / 320))
[[ $zoom -ge 1 && $dh -eq $((200 * zoom)) ]] || fail "display area not found: $geom"

# Absolute XTest motion alone does not reach the program under Xvfb; a
# relative step after it does and carries the new position.
move() { xdotool mousemove $(($1 - 1)) "$2" mousemove_relative 1 0; sleep 0.15; }
at() { move $((ox + $1 * zoom)) $((oy + $2 * zoom)); }
# Ctrl+key with the modifier held over a few frames, so the key's own
# event carries it.
ctrl() { xdotool keydown ctrl; sleep 0.15; xdotool key "$1"; sleep 0.15; xdotool keyup ctrl; sleep 0.3; }
drag() {  # x0 y0 x1 y1 in display pixels
  at "$1" "$2"; xdotool mousedown 1; sleep 0.15
  at $((($1 + $3) / 2)) $((($2 + $4) / 2)); at "$3" "$4"
  xdotool mouseup 1; sleep 0.3
}

# The tool palette: the Text tool and brush 1 are down (latched yellow)
# at start; the Text button is the top-left of that area, 2 pixels out.
tools="$(convert "$work/before.png" -fill black +opaque '#FFEC96' -trim -format '%X %Y' info:)"
read -r tx ty <<<"${tools//+/}"
tx=$((tx - 2)); ty=$((ty - 2))
button() { move $((tx + $1)) $((ty + $2)); xdotool click 1; sleep 0.3; }

# Text tool (the default): place the cursor in cell (1, 1) and type.
at 12 12; xdotool click 1; sleep 0.3
xdotool type --delay 60 "tilvox"; sleep 0.3
# With the Text tool Ctrl+Z types a reversed "z" instead of undoing.
ctrl z
button 12 99                  # Line tool, 87 units below the Text tool
drag 20 60 300 180
button 12 580                 # "Filled"
button 12 157                 # Box tool
drag 40 104 115 155
at 300 20; sleep 0.3
import -window root "$work/after.png"
# Ctrl+Z outside the Text tool undoes the box.
ctrl z
import -window root "$work/undone.png"
kill "$pid" 2>/dev/null
[[ -n "$keep" ]] && cp "$work/after.png" "$keep"

# Share of pixels in the drawing colour inside a rectangle of display pixels.
share() {  # x y w h [image]
  convert "$work/${5:-after}.png" -crop "$(($3 * zoom))x$(($4 * zoom))+$((ox + $1 * zoom))+$((oy + $2 * zoom))" \
    -fill black +opaque "$pen" -fill white -opaque "$pen" -format '%[fx:mean]' info:
}
above() { awk -v v="$1" -v t="$2" 'BEGIN { exit !(v > t) }'; }
below() { awk -v v="$1" -v t="$2" 'BEGIN { exit !(v < t) }'; }

text="$(share 8 8 48 8)"
above "$text" 0.1 && below "$text" 0.6 || fail "typed text: share $text in cells 1-6 of row 1"
[[ "$(share 0 0 8 8)" == 0 ]] || fail "cell (0, 0) changed"
reversed="$(share 56 8 8 8)"
above "$reversed" 0.5 || fail "Ctrl+Z with the Text tool did not type a reversed z: $reversed"
line="$(share 20 60 4 4)"
above "$line" 0.9 || fail "line start not drawn: $line"
end="$(share 296 176 4 4)"
above "$end" 0.9 || fail "line end not drawn: $end"
box="$(share 44 108 68 44)"
above "$box" 0.8 || fail "filled box not drawn: $box"
[[ "$(share 240 16 64 24)" == 0 ]] || fail "untouched area changed"
[[ "$(share 44 108 68 44 undone)" == 0 ]] || fail "Ctrl+Z left the box"
above "$(share 20 60 4 4 undone)" 0.9 || fail "Ctrl+Z undid the line too"
echo "screen input: ok"
