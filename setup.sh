#!/usr/bin/env bash
# Installs what the project needs, builds the program and starts it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
if [[ -x build/tilvox ]]; then
  exec build/tilvox
else
  echo "Built. The program will be build/tilvox once the window exists; assets are in build/assets."
fi
