#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: the native
# build, the 32-bit build of the audio side, and each fuzz target for a while.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

cmake -S . -B build -DTARNWICK_WERROR=ON
cmake --build build -j"$jobs"

cmake -S . -B build-m32 -DTARNWICK_AUDIO_ONLY=ON -DTARNWICK_WERROR=ON \
  -DCMAKE_C_FLAGS="-m32 -msse2 -mfpmath=sse" -DCMAKE_CXX_FLAGS="-m32 -msse2 -mfpmath=sse"
cmake --build build-m32 -j"$jobs"

if [ -f fuzz/CMakeLists.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTARNWICK_FUZZ=ON -DTARNWICK_BENCH=OFF
  cmake --build build-fuzz -j"$jobs" --target fuzz_all
  bash fuzz/run.sh build-fuzz/fuzz "${FUZZ_SECONDS:-30}"
fi

echo "== 32-bit tests"
ctest --test-dir build-m32 -j"$jobs"
echo "== tests"
ctest --test-dir build -j"$jobs"
