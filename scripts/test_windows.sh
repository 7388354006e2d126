#!/usr/bin/env bash
# The Windows stage of scripts/test.sh: cross-builds the 32-bit module with
# its editor and every test (build-win32) and the 64-bit module with its
# editor, its host and the editor's test (build-win64) using mingw-w64, runs
# the tests under Wine in a fresh prefix (the editors' under a virtual X
# server), and checks that both modules process bit for bit as the Linux
# module in the native build tree NATIVE_BUILD (default: build) does. The
# native build also lends the artwork tool and the host that draws the
# editor's reference pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
native=$(cd "${1:-build}" && pwd)
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
prefix=$PWD/build-win32/wine

# A fresh prefix, and one Wine server with its system processes that lives
# as long as the stage: a program started just as a short-lived server shuts
# down cannot reach it, and system processes started by a test would hold
# its output open until the server ends. They start here, on /dev/null.
stop_wine() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; }
stop_wine
rm -rf "$prefix" "$prefix.lock" "$prefix-editor" "$prefix-editor.lock"
mkdir -p build-win32
bash scripts/wine-run.sh "$prefix" cmd /c exit
WINEPREFIX=$prefix wineserver -w
trap stop_wine EXIT
WINEPREFIX=$prefix wineserver -p
bash scripts/wine-run.sh "$prefix" cmd /c exit </dev/null >/dev/null 2>&1

cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake \
  -DTARNWICK_AUDIO_ONLY=OFF -DTARNWICK_WERROR=ON \
  -DTARNWICK_ARTWORK_TOOL="$native/tools/artwork/tarnwick-artwork" \
  -DTARNWICK_NATIVE_HOST="$native/tools/host/tarnwick-host"
cmake --build build-win32 -j"$jobs"
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake \
  -DTARNWICK_AUDIO_ONLY=OFF -DTARNWICK_WERROR=ON \
  -DTARNWICK_ARTWORK_TOOL="$native/tools/artwork/tarnwick-artwork" \
  -DTARNWICK_NATIVE_HOST="$native/tools/host/tarnwick-host"
cmake --build build-win64 -j"$jobs" --target Tarnwick tarnwick-host module_editor_win32_test

failed=0
# What cmake --install gives a user: the two modules in one folder.
rm -rf build-win-install
cmake --install build-win32 --prefix build-win-install --strip >/dev/null
cmake --install build-win64 --prefix build-win-install --strip >/dev/null
[ "$(ls build-win-install)" = "$(printf 'Tarnwick.dll\nTarnwick64.dll')" ] ||
  { echo "cmake --install gave: $(ls build-win-install)"; failed=1; }
# Text is drawn by the system's faces on Windows: the tests that check the
# metrics and pixels of the Linux build's pinned face (and the golden
# pictures with text in them) are left out; the editor's test under Wine
# compares everything outside its text.
pinned_face='^(Text[.](PinnedFace|LinesBreak|BackgroundModes|Alignment)|StdCtrls[.](AFormLoads|FontChanges|LabelsPaint)'
pinned_face+='|FadeLabelTest[.](Highlights|Layouts|AutoSize|AFormEntry)|Editor[.](TheMakersName|LooksAsDesigned))'
ctest --test-dir build-win32 -j"$jobs" -E "$pinned_face" || failed=1
ctest --test-dir build-win64 -R '^module_(windows_tables|editor_win32)$' --no-tests=error || failed=1
TARNWICK_WIN32_BUILD=$PWD/build-win32 TARNWICK_WIN64_BUILD=$PWD/build-win64 \
  TARNWICK_WINE_PREFIX=$prefix \
  ctest --test-dir "$native" -R '^WindowsModules[.]' --no-tests=error || failed=1
exit $failed
