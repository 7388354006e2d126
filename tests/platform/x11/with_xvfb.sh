#!/usr/bin/env bash
# Runs a program against a virtual X server of its own, on a display number
# the server picks, and stops the server afterwards. Exits 77 (skipped)
# when no server can start. TARNWICK_XVFB_SCREEN sets the screen's size
# (640x480x24 unless set), for editors drawn at a device scale.
set -u
xvfb=$1
shift
dir=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
"$xvfb" -displayfd 3 -screen 0 "${TARNWICK_XVFB_SCREEN:-640x480x24}" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
pid=$!
for _ in $(seq 100); do
  [ -s "$dir/display" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! [ -s "$dir/display" ]; then
  echo "skipped: no virtual X server could start"
  cat "$dir/log"
  exit 77
fi
DISPLAY=:$(head -n 1 "$dir/display") "$@"
