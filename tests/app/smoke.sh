#!/usr/bin/env bash
# Runs the program under Xvfb: with TILVOX_SNAPSHOT it must write a PNG of
# the window size after 30 frames and exit 0, write tilvox.ini, keep a saved
# imgui.ini on the next run, set aside one far too large, and also start in a
# strict OpenGL 3.0 context.
set -u
tilvox="$1"
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run not found: skipping"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

fail() { echo "FAIL: $*"; exit 1; }

# Width and height from the PNG header (big-endian words at bytes 16 and 20).
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d\n", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

run() {  # output png, extra env...
  local png="$1"; shift
  env "$@" TILVOX_SNAPSHOT="$png" xvfb-run -a -s "-screen 0 1600x1000x24" "$tilvox"
}

run "$work/first.png" || fail "first run exited $?"
[[ -s "$work/first.png" ]] || fail "no snapshot written"
[[ "$(head -c 8 "$work/first.png" | od -An -tx1 | tr -d ' \n')" == "89504e470d0a1a0a" ]] || fail "snapshot is not a PNG"
size="$(png_size "$work/first.png")"
[[ "$size" == "1400x900" ]] || fail "snapshot is $size, not 1400x900"
ini="$XDG_CONFIG_HOME/tilvox/tilvox.ini"
[[ -f "$ini" ]] || fail "tilvox.ini not written"
[[ "$(head -n1 "$ini")" == "ShowGrid=0" ]] || fail "tilvox.ini starts with $(head -n1 "$ini")"

# A saved layout is read and kept as it is.
layout="$XDG_CONFIG_HOME/tilvox/imgui.ini"
cat > "$layout" <<'INI'
[Window][Screen]
Pos=0,0
Size=400,900
Collapsed=0
DockId=0x00000001,0

[Docking][Data]
DockSpace     ID=0xF8498067 Window=0x5F1540D8 Pos=0,0 Size=1400,900 Split=X
  DockNode    ID=0x00000001 Parent=0xF8498067 SizeRef=400,900 CentralNode=1
  DockNode    ID=0x00000002 Parent=0xF8498067 SizeRef=998,900 Split=Y
    DockNode  ID=0x00000003 Parent=0x00000002 SizeRef=998,449
    DockNode  ID=0x00000004 Parent=0x00000002 SizeRef=998,449
INI
cp "$layout" "$work/layout.saved"
run "$work/second.png" || fail "second run exited $?"
[[ -s "$work/second.png" ]] || fail "no snapshot on the second run"
cmp -s "$layout" "$work/layout.saved" || fail "imgui.ini was not kept"

# A layout far past any real one does not stall the start (a minute or
# seconds to load without the bounds, under one second with them, a few in
# a sanitizer build): it is set aside whole as imgui.ini.bad, said in one
# line on the error stream. A short run saves no layout of its own.
set_aside() {  # the reason in the message
  cp "$layout" "$work/layout.saved"
  local start=$(date +%s%N)
  run "$work/aside.png" 2>"$work/err" || fail "$1: exited $?: $(cat "$work/err")"
  local ms=$((($(date +%s%N) - start) / 1000000))
  ((ms <= 8000)) || fail "$1: the 30th frame came after $ms ms"
  [[ -s "$work/aside.png" ]] || fail "$1: no snapshot written"
  local line="$layout: $1; moved to $layout.bad, the default layout is used"
  [[ "$(grep imgui.ini "$work/err")" == "$line" ]] || fail "the error stream holds $(cat "$work/err"), not $line"
  cmp -s "$layout.bad" "$work/layout.saved" || fail "$1: the file set aside differs from the one saved"
  [[ ! -e "$layout" ]] || fail "$1: the file was not moved aside"
  rm "$work/aside.png"
}
awk 'BEGIN { for (i = 0; i < 300000; i++) printf "[Window][W%d]\nPos=0,0\nSize=400,300\nCollapsed=0\n\n", i }' >"$layout"
set_aside "$(stat -c %s "$layout") bytes, more than 1048576"  # 15 MB
awk 'BEGIN { for (i = 0; i < 60000; i++) printf "[Window][%d]\n", i }' >"$layout"  # under 1 MB
set_aside "60000 sections, more than 4096"

# Mesa gives a newer compatibility context by default; prove 3.0 suffices.
run "$work/gl30.png" MESA_GL_VERSION_OVERRIDE=3.0 || fail "OpenGL 3.0 run exited $?"
[[ "$(png_size "$work/gl30.png")" == "1400x900" ]] || fail "OpenGL 3.0 snapshot missing"
# Without an OpenGL 3.0 context the program stops with a message and code 1.
err="$(env MESA_GL_VERSION_OVERRIDE=2.1 TILVOX_SNAPSHOT="$work/gl21.png" \
  xvfb-run -a -s "-screen 0 1600x1000x24" "$tilvox" 2>&1 >/dev/null)"
code=$?
[[ $code == 1 ]] || fail "a missing OpenGL 3.0 context exited $code, not 1"
[[ "$err" == *"SDL_GL_CreateContext failed: "* ]] || fail "no message for a missing OpenGL 3.0 context: $err"
echo "smoke: ok"
