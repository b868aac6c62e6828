#!/usr/bin/env bash
# Measures how much processor time the program takes while nobody uses it.
# Starts the program under Xvfb with a fresh configuration, lets it settle,
# then reads its user and system time from /proc/<pid>/stat at the start
# and the end of a quiet interval and prints the share of one core it used,
# e.g. "idle: 0.031 cores over 10 s".
#   tools/measure-idle.sh <tilvox> [settle seconds] [interval seconds] [limit]
# With a limit (cores, e.g. 0.2) the exit code is 1 when the share is above
# it. Needs xvfb-run. Xvfb has no vertical sync, so without its own frame
# pacing the program would draw as fast as the processor allows.
set -u
if [[ $# -lt 1 ]]; then
  echo "usage: $0 <tilvox> [settle seconds] [interval seconds] [limit]" >&2
  exit 2
fi
tilvox="$1"
settle="${2:-3}"
interval="${3:-10}"
limit="${4:-}"
command -v xvfb-run >/dev/null 2>&1 || { echo "xvfb-run not found" >&2; exit 1; }

if [[ -z "${MEASURE_IDLE_INNER:-}" ]]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  export XDG_CONFIG_HOME="$work/config" MEASURE_IDLE_INNER=1
  mkdir -p "$XDG_CONFIG_HOME"
  # Not exec: the trap must remove the scratch configuration afterwards.
  xvfb-run -a -s "-screen 0 1600x1000x24" bash "$0" "$@"
  exit $?
fi

"$tilvox" &
pid=$!
# SIGTERM would only ask "Exit Tilvox?"; the measurement ends it outright.
trap 'kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT

# Fields 14 and 15 of /proc/<pid>/stat: user and system time in clock ticks.
# The command name (field 2) is in parentheses and may hold blanks, so the
# fields are counted from after its closing parenthesis.
ticks() {
  local stat
  stat="$(cat "/proc/$pid/stat" 2>/dev/null)" || return 1
  stat="${stat##*) }"
  awk '{ print $12 + $13 }' <<<"$stat"
}

sleep "$settle"
t0="$(ticks)" || { echo "the program ended before the measurement" >&2; exit 1; }
start="$(date +%s.%N)"
sleep "$interval"
t1="$(ticks)" || { echo "the program ended during the measurement" >&2; exit 1; }
end="$(date +%s.%N)"
hz="$(getconf CLK_TCK)"
cores="$(awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s="$start" -v e="$end" \
  'BEGIN { printf "%.3f", (b - a) / hz / (e - s) }')"
echo "idle: $cores cores over $interval s"
if [[ -n "$limit" ]] && awk -v c="$cores" -v l="$limit" 'BEGIN { exit !(c > l) }'; then
  echo "FAIL: above $limit cores"
  exit 1
fi
exit 0
