#!/usr/bin/env bash
# Installs every Debian package the project builds, tests and runs with.
# Quick when everything is already there: apt runs only for missing ones.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libgl-dev libgl1-mesa-dri libstb-dev libfreetype-dev
  fonts-liberation fonts-freefont-otf fonts-cantarell
  64tass cc1541
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick
  dpkg-dev xz-utils ca-certificates
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Sources fetched from Debian's archive into the build tree (Dear ImGui).
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [[ -x "$here/fetch-imgui.sh" ]]; then
  "$here/fetch-imgui.sh"
fi
