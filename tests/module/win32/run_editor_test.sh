#!/usr/bin/env bash
# run_editor_test.sh NATIVE_HOST XVFB WINE_PREFIX TEST_EXE
# Draws the editor's reference pictures with the native tarnwick-host, then
# runs the Windows editor test under Wine on a virtual X server of its own.
# The Wine prefix shows every program in a virtual desktop, which needs no
# window manager. Exits 77 (skipped) when no X server can start.
set -euo pipefail
host=$1 xvfb=$2 prefix=$3 test=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../../..
renders=$(mktemp -d)
trap 'rm -rf "$renders"' EXIT
"$host" render --out "$renders/plain.png"
"$host" render --out "$renders/about.png" --set attack=0.5 --about
"$host" render --out "$renders/half.png" --set attack=0.5
"$host" render --out "$renders/full.png" --set attack=1
export TARNWICK_EDITOR_RENDERS=$renders
bash "$root/tests/platform/x11/with_xvfb.sh" "$xvfb" bash -c '
  set -e
  prefix=$1 test=$2 run=$3/scripts/wine-run.sh
  bash "$run" "$prefix" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null
  bash "$run" "$prefix" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 640x480 /f >/dev/null
  status=0
  bash "$run" "$prefix" "$test" || status=$?
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  exit $status' run "$prefix" "$test" "$root"
