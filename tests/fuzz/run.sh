#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in build-fuzz/ and runs each for
# SECONDS (default 10), all at once, from the committed seed corpus. New
# inputs collect in build-fuzz/corpus/, crashes in build-fuzz/artifacts/.
#   bash tests/fuzz/run.sh          # the short run of test.sh
#   bash tests/fuzz/run.sh 3600     # an hour per harness
set -euo pipefail
seconds="${1:-10}"
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
here=tests/fuzz
out=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTILVOX_FUZZ=ON \
  -DTILVOX_BUILD_APP=OFF -DTILVOX_BUILD_TESTS=OFF -DTILVOX_BUILD_BENCH=OFF >/dev/null
cmake --build "$out" --target fuzz

mapfile -t harnesses < "$out/fuzz-harnesses.txt"
# Real fonts seed the font harness from the system, not from the
# repository: the Liberation families (TrueType) and Cantarell (CFF). They
# run to a few hundred kilobytes, so its inputs may too. The harness itself
# fails a glyph that takes a quarter second; its time limit is only a
# backstop, above the half minute a font made to reach every budget takes
# at four settings in this instrumented build.
mkdir -p "$out/corpus/font"
for f in /usr/share/fonts/truetype/liberation/*.ttf /usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf; do
  if [[ -f $f ]]; then cp -n "$f" "$out/corpus/font/"; fi
done
pids=()
for h in "${harnesses[@]}"; do
  mkdir -p "$out/corpus/$h" "$out/artifacts/$h"
  limits=(-timeout=20 -max_len=70000)
  [[ $h == font ]] && limits=(-timeout=60 -max_len=1048576)
  # The first directory takes new inputs; the committed seeds are only read.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$out/fuzz/fuzz_$h" -max_total_time="$seconds" -rss_limit_mb=2048 "${limits[@]}" \
    -artifact_prefix="$out/artifacts/$h/" "$out/corpus/$h" "$here/corpus/$h" >"$out/fuzz_$h.log" 2>&1 &
  pids+=($!)
done
passed=0
failed=0
for i in "${!harnesses[@]}"; do
  h="${harnesses[$i]}"
  if wait "${pids[$i]}"; then
    passed=$((passed + 1))
    echo "fuzz_$h: $(grep -o 'Done [0-9]* runs' "$out/fuzz_$h.log" | tail -1 || true)"
  else
    failed=$((failed + 1))
    echo "fuzz_$h FAILED:"
    tail -40 "$out/fuzz_$h.log"
  fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
