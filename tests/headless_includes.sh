#!/usr/bin/env bash
# Fails when a source file in core/, cpu/, disk/ or convert/ below the given
# root includes Dear ImGui, SDL, OpenGL or an app/ header: those folders are
# built and tested without a window. Prints each offending line as
# file:line:text, then the count.
set -uo pipefail
cd "$1" || exit 2
dirs=()
for d in core cpu disk convert; do [[ -d "$d" ]] && dirs+=("$d"); done
((${#dirs[@]})) || { echo "no headless folders below $1"; exit 2; }

include='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]'
target='((.*/)?imgui|backends/|SDL|GL/|GLES|OpenGL/|glad/|app/)'
hits="$(grep -rnE --include='*.h' --include='*.hpp' --include='*.c' --include='*.cpp' --include='*.inc' \
  "$include$target" "${dirs[@]}" | sort)"
if [[ -n "$hits" ]]; then
  echo "$hits"
  echo "$(wc -l <<<"$hits") forbidden includes in the headless folders"
  exit 1
fi
echo "no headless file includes Dear ImGui, SDL, OpenGL or app/ headers"
