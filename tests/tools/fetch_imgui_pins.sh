#!/usr/bin/env bash
# The Dear ImGui fetch refuses source files that differ from their pinned
# SHA-256 or are missing, and unpacks nothing then. Runs offline: the files
# are handed over through TILVOX_IMGUI_ARCHIVES, the result goes to a
# temporary TILVOX_DEPS_DIR.
set -uo pipefail
script="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

names=(
  "furnace_0.6.8.3+git20250912+ds.orig.tar.xz"
  "furnace_0.6.8.3+git20250912+ds-2.debian.tar.xz"
  "imgui_1.92.2b+ds.orig.tar.xz"
  "imgui_1.92.2b+ds-1.debian.tar.xz"
)
status=0
# case name, file left out (empty: none), expected message
run_case() {
  local label="$1" leave="$2" expect="$3" dir="$tmp/$1"
  mkdir -p "$dir/files"
  for n in "${names[@]}"; do
    [[ "$n" == "$leave" ]] || echo "not the real $n" > "$dir/files/$n"
  done
  TILVOX_DEPS_DIR="$dir/deps" TILVOX_IMGUI_ARCHIVES="$dir/files" bash "$script" > "$dir/log" 2>&1
  local rc=$?
  if [[ $rc -eq 0 ]] || ! grep -qF -- "$expect" "$dir/log" || [[ -e "$dir/deps/imgui" ]]; then
    echo "FAIL $label: exit $rc, output:"; cat "$dir/log"; status=1
  else
    echo "ok $label"
  fi
}
run_case changed "" "furnace_0.6.8.3+git20250912+ds.orig.tar.xz does not match its pinned SHA-256"
run_case missing "imgui_1.92.2b+ds-1.debian.tar.xz" "imgui_1.92.2b+ds-1.debian.tar.xz is missing in"
exit $status
