#!/usr/bin/env bash
# The Windows stage of scripts/test.sh: cross-builds the 32-bit module with
# its editor and every test (build-win32) and the 64-bit module with its
# editor, its VST 3 bundle and CLAP file, its host and the tests of its
# editors and its CLAP gate (build-win64)
# using mingw-w64, runs the tests under Wine in a fresh prefix (the editors' under a virtual X
# server), and checks that both modules process bit for bit as the Linux
# module in the native build tree NATIVE_BUILD (default: build) does. The
# native build also lends the artwork tool and the host that draws the
# editor's reference pictures.
#
# Some x86-64 kernels cannot run 32-bit programs. There the stage still
# builds both modules, runs everything of the 64-bit one under Wine's 64-bit
# loader and says in one SKIPPED: line what it did not run and why.
# TARNWICK_NO_32BIT=1 makes it act so on any machine.
set -euo pipefail
cd "$(dirname "$0")/.."
native=$(cd "${1:-build}" && pwd)
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
prefix=$PWD/build-win32/wine

# Once: can the kernel start Wine's 32-bit loader? A kernel without 32-bit
# support refuses it with "Exec format error"; any other failure is a broken
# Wine set-up and ends the stage with Wine's own words.
wine32=/usr/lib/wine/wine
no_32bit=
if [ "${TARNWICK_NO_32BIT:-}" = 1 ]; then
  no_32bit="TARNWICK_NO_32BIT=1 is set"
elif [ ! -e "$wine32" ]; then
  no_32bit="Wine's 32-bit loader $wine32 is not installed"
elif ! probe=$("$wine32" --version 2>&1); then
  if [[ $probe != *"Exec format error"* ]]; then
    echo "Wine's 32-bit loader $wine32 does not start (scripts/setup.sh installs it):"
    echo "$probe"
    exit 1
  fi
  no_32bit="this kernel cannot run 32-bit programs ($wine32: Exec format error)"
fi
# Without 32-bit programs, everything runs under Wine's 64-bit loader, and
# the 32-bit build makes the module alone: each test program built there
# runs under Wine to list its cases.
win32_targets=()
if [ -n "$no_32bit" ]; then
  export TARNWICK_WINE_LOADER=/usr/lib/wine/wine64
  win32_targets=(--target Tarnwick)
fi

# A fresh prefix, and one Wine server with its system processes that lives
# as long as the stage: a program started just as a short-lived server shuts
# down cannot reach it, and system processes started by a test would hold
# its output open until the server ends. They start here, on a file of their
# own that is shown when they do not.
stop_wine() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; }
stop_wine
rm -rf "$prefix" "$prefix.lock" "$prefix-editor" "$prefix-editor.lock"
mkdir -p build-win32
bash scripts/wine-run.sh "$prefix" cmd /c exit
WINEPREFIX=$prefix wineserver -w
trap stop_wine EXIT
WINEPREFIX=$prefix wineserver -p
wine_log=build-win32/wine-start.log
bash scripts/wine-run.sh "$prefix" cmd /c exit </dev/null >"$wine_log" 2>&1 ||
  { echo "Wine did not start in $prefix:"; cat "$wine_log"; exit 1; }

cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake \
  -DTARNWICK_AUDIO_ONLY=OFF -DTARNWICK_WERROR=ON \
  -DTARNWICK_ARTWORK_TOOL="$native/tools/artwork/tarnwick-artwork" \
  -DTARNWICK_NATIVE_HOST="$native/tools/host/tarnwick-host"
cmake --build build-win32 -j"$jobs" "${win32_targets[@]}"
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake \
  -DTARNWICK_AUDIO_ONLY=OFF -DTARNWICK_WERROR=ON \
  -DTARNWICK_ARTWORK_TOOL="$native/tools/artwork/tarnwick-artwork" \
  -DTARNWICK_NATIVE_HOST="$native/tools/host/tarnwick-host" \
  -DTARNWICK_VST3_INFO_TOOL="$native/src/vst3/tarnwick-vst3-info"
cmake --build build-win64 -j"$jobs" --target Tarnwick tarnwick_vst3_bundle TarnwickClap \
  tarnwick-host module_editor_win32_test clap_test

failed=0
# What cmake --install gives a user: the two modules, the VST 3 bundle and
# the CLAP file in one folder.
rm -rf build-win-install
cmake --install build-win32 --prefix build-win-install --strip >/dev/null
cmake --install build-win64 --prefix build-win-install --strip >/dev/null
installed=$(cd build-win-install && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expected="./Tarnwick.clap ./Tarnwick.dll ./Tarnwick.vst3/Contents/Resources/moduleinfo.json"
expected+=" ./Tarnwick.vst3/Contents/x86_64-win/Tarnwick.vst3 ./Tarnwick64.dll "
[ "$installed" = "$expected" ] || { echo "cmake --install gave: $installed"; failed=1; }
# Text is drawn by the system's faces on Windows: the tests that check the
# metrics and pixels of the Linux build's pinned face (and the golden
# pictures with text in them) are left out; the editor's test under Wine
# compares everything outside its text.
pinned_face='^(Text[.](PinnedFace|LinesBreak|BackgroundModes|Alignment)|StdCtrls[.](AFormLoads|FontChanges|LabelsPaint)'
pinned_face+='|FadeLabelTest[.](Highlights|Layouts|AutoSize|AFormEntry)|Editor[.](TheMakersName|LooksAsDesigned)'
pinned_face+='|Scaled[.]AtTwoHundredPercentTheEditorIsDrawnSharpAndNotEnlarged)'
win32_build=
if [ -z "$no_32bit" ]; then
  ctest --test-dir build-win32 -j"$jobs" -E "$pinned_face" || failed=1
  win32_build=$PWD/build-win32
else
  # Its tables are read on this machine, without Wine.
  ctest --test-dir build-win32 -R '^module_windows_tables$' --no-tests=error || failed=1
fi
ctest --test-dir build-win64 -R '^((module|vst3|clap)_(windows_tables|editor_win32)|clap_test)$' \
  --no-tests=error ||
  failed=1
TARNWICK_WIN32_BUILD=$win32_build TARNWICK_WIN64_BUILD=$PWD/build-win64 \
  TARNWICK_WINE_PREFIX=$prefix \
  ctest --test-dir "$native" -R '^WindowsModules[.]' --no-tests=error || failed=1
if [ -n "$no_32bit" ]; then
  echo "SKIPPED: the 32-bit Windows module under Wine (its unit and editor tests, its bit" \
    "identity with the Linux module; built, tables checked; the 64-bit module's ran): $no_32bit"
fi
exit $failed
