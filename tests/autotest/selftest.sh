#!/usr/bin/env bash
# Runs the program's built-in self-test under Xvfb. Passes only when it
# announces its 108 steps, ends with 38 checks and no failure, and exits 0.
# The screenshots of a run are kept in SHOTS (the second argument).
set -u
tilvox="$1"
shots="$2"
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run not found: skipping"
  exit 77
fi
work="$(mktemp -d)"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
rm -rf "$shots"
mkdir -p "$XDG_CONFIG_HOME" "$shots"

TILVOX_AUTOTEST=1 TILVOX_AUTOTEST_SHOTS="$shots" \
  timeout 300 xvfb-run -a -s "-screen 0 1600x1000x24" "$tilvox" >"$work/out.txt" 2>&1
code=$?
cat "$work/out.txt"
if [[ $code -eq 0 ]] && grep -qx "AUTOTEST: 108 steps" "$work/out.txt" &&
  grep -qx "AUTOTEST: 38 checks, 0 failures" "$work/out.txt"; then
  # The run's own temporary folder is gone; only ours is left.
  leftovers=$(find "$work" -maxdepth 1 -name 'tilvox_autotest_*' | wc -l)
  rm -rf "$work"
  if [[ $leftovers -ne 0 ]]; then
    echo "FAIL: the self-test left its temporary folder behind"
    exit 1
  fi
  exit 0
fi
rm -rf "$work"
echo "FAIL: self-test exited $code; its screenshots are in $shots"
exit 1
