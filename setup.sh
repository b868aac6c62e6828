#!/usr/bin/env bash
# Installs what the project needs, builds the program and starts it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
if [[ ! -x build/tilvox ]]; then
  echo "Built. The program will be build/tilvox once the window exists; assets are in build/assets."
  exit 0
fi

# The program itself finds out whether a display can be reached; without
# one it says so and exits 1. That only means the build cannot be shown
# here, so the set-up still succeeds; any other failure stays a failure.
# Its error stream passes through tee (which ignores Ctrl+C, as the
# program does until the user confirms) so the message can be looked for.
no_display="No display found: set DISPLAY or WAYLAND_DISPLAY"
err="$(mktemp)"
trap 'rm -f "$err"' EXIT
set +e
{ build/tilvox 2>&1 1>&3 3>&- | tee -i "$err" >&2; } 3>&1
status=${PIPESTATUS[0]}
set -e
if [[ $status -eq 1 ]] && grep -qxF "$no_display" "$err"; then
  echo "Tilvox is built. Start it on a desktop session with: $PWD/build/tilvox"
  exit 0
fi
exit "$status"
