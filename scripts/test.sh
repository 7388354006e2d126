#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: the 32-bit
# build of the audio side, the audio side's and the editor's threads tests
# under ThreadSanitizer, the unit tests of the GUI side under AddressSanitizer and
# UndefinedBehaviorSanitizer, each fuzz target for a while (FUZZ_SECONDS, 30 by
# default; 0 skips fuzzing), the Windows modules and their tests under Wine
# (scripts/test_windows.sh), and the native build's tests last.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
fuzz_seconds=${FUZZ_SECONDS:-30}

echo "== format"
bash scripts/check_format.sh

cmake -S . -B build -DTARNWICK_WERROR=ON
cmake --build build -j"$jobs"

cmake -S . -B build-m32 -DTARNWICK_AUDIO_ONLY=ON -DTARNWICK_WERROR=ON \
  -DCMAKE_C_FLAGS="-m32 -msse2 -mfpmath=sse" -DCMAKE_CXX_FLAGS="-m32 -msse2 -mfpmath=sse"
cmake --build build-m32 -j"$jobs"

# Only what the threads test needs: the audio thread against parameter,
# program and name traffic on two others.
tsan=-fsanitize=thread
cmake -S . -B build-tsan -DTARNWICK_AUDIO_ONLY=ON -DTARNWICK_BENCH=OFF -DTARNWICK_WERROR=ON \
  -DCMAKE_C_FLAGS="$tsan" -DCMAKE_CXX_FLAGS="$tsan" \
  -DCMAKE_EXE_LINKER_FLAGS="$tsan" -DCMAKE_SHARED_LINKER_FLAGS="$tsan"
cmake --build build-tsan -j"$jobs" --target plugin_threads_test
# And the GUI side: the module, whose editor opens, idles and closes while
# another thread changes parameters and programs (the host-conduct test's
# threaded case).
cmake -S . -B build-tsan-gui -DTARNWICK_BENCH=OFF -DTARNWICK_WERROR=ON \
  -DCMAKE_C_FLAGS="$tsan" -DCMAKE_CXX_FLAGS="$tsan" \
  -DCMAKE_EXE_LINKER_FLAGS="$tsan" -DCMAKE_SHARED_LINKER_FLAGS="$tsan"
cmake --build build-tsan-gui -j"$jobs" --target module_host_conduct_test

# The sanitizer build: fuzz targets, and the GUI side's unit tests, where a
# read of uninitialised or freed memory or undefined arithmetic fails a test.
sanitized_tests=(platform objects gdi framework dib controls editor)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTARNWICK_FUZZ=ON -DTARNWICK_BENCH=OFF
for d in "${sanitized_tests[@]}"; do cmake --build "build-fuzz/tests/$d" -j"$jobs"; done
if [ "$fuzz_seconds" != 0 ]; then
  cmake --build build-fuzz -j"$jobs" --target fuzz_all
fi

failed=()
echo "== 32-bit tests"
ctest --test-dir build-m32 -j"$jobs" || failed+=("32-bit tests")
echo "== ThreadSanitizer"
# Without address randomisation, which at its widest leaves this compiler's
# ThreadSanitizer no room for its shadow memory; a race report fails the test.
setarch "$(uname -m)" -R ctest --test-dir build-tsan -R '^EffectUnderThreads[.]' --no-tests=error ||
  failed+=("ThreadSanitizer")
tsan_editor=0
setarch "$(uname -m)" -R bash tests/platform/x11/with_xvfb.sh Xvfb \
  build-tsan-gui/tests/module/module_host_conduct_test \
  --gtest_filter='HostConduct.ParametersAndProgramsFromAnotherThread' || tsan_editor=$?
case $tsan_editor in
  0) ;;
  77) echo "SKIPPED: the editor's threads under ThreadSanitizer: no virtual X server could start" ;;
  *) failed+=("ThreadSanitizer (editor)") ;;
esac
echo "== sanitized unit tests"
for d in "${sanitized_tests[@]}"; do
  ctest --test-dir "build-fuzz/tests/$d" -j"$jobs" || failed+=("sanitized $d tests")
done
if [ "$fuzz_seconds" != 0 ]; then
  echo "== fuzzing"
  bash fuzz/run.sh build-fuzz/fuzz "$fuzz_seconds" || failed+=("fuzzing")
fi
echo "== Windows"
bash scripts/test_windows.sh build || failed+=("Windows")
echo "== tests"
ctest --test-dir build -j"$jobs" || failed+=("tests")

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
