#!/usr/bin/env bash
# A layout file far past any real one must not stall the start: the program
# under Xvfb, with a saved imgui.ini of 300,000 window sections (11 MB) and
# with one of 60,000 small sections under a megabyte, reaches its 30th
# frame (TILVOX_SNAPSHOT) within a few seconds, says once on the error
# stream that the file was set aside and keeps it whole as imgui.ini.bad.
set -u
tilvox="$1"
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run not found: skipping"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
layout="$XDG_CONFIG_HOME/tilvox/imgui.ini"
mkdir -p "$(dirname "$layout")"
# Loading each takes a minute or seconds without the bounds; the start
# with them takes under one second here (a few in a sanitizer build).
limit_ms=8000

fail() { echo "FAIL: $*"; exit 1; }

check() {  # what, expected line on the error stream
  local what="$1" line="$2"
  cp "$layout" "$work/layout.saved"
  local start end code
  start=$(date +%s%N)
  TILVOX_SNAPSHOT="$work/shot.png" xvfb-run -a -s "-screen 0 1600x1000x24" "$tilvox" 2>"$work/err" >/dev/null
  code=$?
  end=$(date +%s%N)
  local ms=$(((end - start) / 1000000))
  echo "$what: 30th frame after $ms ms"
  [[ $code == 0 ]] || fail "$what: exited $code: $(cat "$work/err")"
  [[ -s "$work/shot.png" ]] || fail "$what: no snapshot written"
  ((ms <= limit_ms)) || fail "$what: took $ms ms, more than $limit_ms"
  [[ "$(grep -c "imgui.ini" "$work/err")" == 1 ]] || fail "$what: not one line about the layout: $(cat "$work/err")"
  grep -qxF "$line" "$work/err" || fail "$what: the error stream holds $(cat "$work/err"), not $line"
  cmp -s "$layout.bad" "$work/layout.saved" || fail "$what: the file set aside differs from the one saved"
  # A short run saves no layout of its own: the next save writes one.
  [[ ! -e "$layout" ]] || fail "$what: the file was not moved aside"
  rm -f "$layout.bad" "$work/shot.png"
}

awk 'BEGIN { for (i = 0; i < 300000; i++) printf "[Window][W%d]\nPos=0,0\nSize=400,300\nCollapsed=0\n\n", i }' >"$layout"
size=$(stat -c %s "$layout")
check "300,000 windows" \
  "$layout: $size bytes, more than 1048576; moved to $layout.bad, the default layout is used"

awk 'BEGIN { for (i = 0; i < 60000; i++) printf "[Window][%d]\n", i }' >"$layout"
((size = $(stat -c %s "$layout"), size < 1048576)) || fail "the small-sections layout is $size bytes"
check "60,000 small sections" \
  "$layout: 60000 sections, more than 4096; moved to $layout.bad, the default layout is used"
echo "layout bound: ok"
