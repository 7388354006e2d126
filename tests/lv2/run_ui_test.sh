#!/usr/bin/env bash
# Runs the editor's test with a JACK server of its own (the dummy back end,
# under a name no other run uses) for jalv; exits 77 (skipped) where jalv or
# jackd is missing or the server does not come up. Expects DISPLAY set.
set -u
for tool in jalv.gtk3 jackd jack_wait jack_connect jack_metro; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool not installed (Debian packages jalv, jackd2)"
    exit 77
  fi
done
export JACK_DEFAULT_SERVER="tarnwick-ui-$$"
log=$(mktemp)
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$log" 2>&1 &
jack=$!
cleanup() {
  kill "$jack" 2>/dev/null && wait "$jack" 2>/dev/null
  rm -f "$log"
}
trap cleanup EXIT
if ! jack_wait -s "$JACK_DEFAULT_SERVER" -w -t 10 >/dev/null 2>&1; then
  echo "skipped: the JACK server (jackd, dummy back end) did not start"
  cat "$log"
  exit 77
fi
"$@"
