#!/usr/bin/env bash
# Without a reachable display the program must not run unseen: with DISPLAY
# and WAYLAND_DISPLAY removed and no video driver asked for, it prints one
# line on its error stream and exits 1 at once. A program that runs on
# anyway is killed by the timeout and fails.
set -u
tilvox="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

fail() { echo "FAIL: $*"; cat "$work/err"; exit 1; }

env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u TILVOX_SNAPSHOT -u TILVOX_AUTOTEST \
  timeout -s KILL 20 "$tilvox" >/dev/null 2>"$work/err"
status=$?
[[ $status -eq 1 ]] || fail "exit status $status, not 1"
grep -qxF "No display found: set DISPLAY or WAYLAND_DISPLAY" "$work/err" || fail "no display message"
[[ -z "$(tail -c1 "$work/err")" ]] || fail "message does not end the line"
echo "ok"
