#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal
# build with warnings as errors, and an AddressSanitizer + UBSan build.
# Finally each fuzz target runs briefly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build (warnings as errors)"
cmake -S "$root" -B "$root/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMOR_WERROR=ON -DVELMOR_BENCH=ON >/dev/null
cmake --build "$root/build-test" -j "$jobs"
echo "== tests"
ctest --test-dir "$root/build-test" -j "$jobs" --output-on-failure

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVELMOR_SANITIZE=ON -DVELMOR_BENCH=OFF >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
echo "== tests under sanitizers"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" -j "$jobs" --output-on-failure

if [[ -n "$(ls "$root"/fuzz/fuzz_*.cpp 2>/dev/null)" ]]; then
  echo "== fuzz targets (brief runs)"
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMOR_FUZZ=ON -DVELMOR_SANITIZE=ON -DVELMOR_BENCH=OFF >/dev/null
  fuzzers=()
  for f in "$root"/fuzz/fuzz_*.cpp; do fuzzers+=("$(basename "$f" .cpp)"); done
  cmake --build "$root/build-fuzz" -j "$jobs" --target "${fuzzers[@]}"
  for name in "${fuzzers[@]}"; do
    corpus="$root/fuzz/corpus/${name#fuzz_}"
    mkdir -p "$root/build-fuzz/corpus-$name"
    args=("$root/build-fuzz/corpus-$name")
    [[ -d "$corpus" ]] && args+=("$corpus")
    echo "-- $name"
    "$root/build-fuzz/bin/$name" -max_total_time=30 -max_len=4096 "${args[@]}" 2>&1 | tail -n 2
  done
fi
echo "== all tests passed"
