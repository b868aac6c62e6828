#!/usr/bin/env bash
# Builds and runs every test: once in an optimised build, once with
# AddressSanitizer and UndefinedBehaviorSanitizer; then every loader's
# libFuzzer harness for a few seconds (clang build in build-fuzz/); then the
# tests once more in a build without the window.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
bash tools/install-deps.sh
jobs="$(nproc)"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTILVOX_SANITIZE=ON -DTILVOX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

bash tests/fuzz/run.sh 10

# Without the window: the engines and the app logic they serve build and
# pass on their own.
cmake -S . -B build-headless -G Ninja -DCMAKE_BUILD_TYPE=Release -DTILVOX_BUILD_APP=OFF -DTILVOX_BUILD_BENCH=OFF >/dev/null
cmake --build build-headless -j "$jobs"
ctest --test-dir build-headless --output-on-failure -j "$jobs"
