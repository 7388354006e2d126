#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]
# Runs a Windows program under Wine in its own prefix, quietly: no debug
# channels, no Mono or Gecko prompts, no menu entries. The prefix is made on
# first use (about ten seconds), once even when several programs start at once;
# what Wine said while making it is shown when that fails, and only then.
# TARNWICK_WINE_LOADER names the loader to run with instead of `wine` (the
# Windows stage sets Wine's 64-bit one where 32-bit programs cannot run).
set -euo pipefail
prefix=$1
shift
loader=${TARNWICK_WINE_LOADER:-wine}
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -e "$prefix/.tarnwick-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -e "$prefix/.tarnwick-ready" ]; then
      # A file, not a pipe: the system processes wineboot starts keep their
      # output open as long as the Wine server lives.
      log=$(mktemp)
      trap 'rm -f "$log"' EXIT
      status=0
      "$loader" wineboot -i >"$log" 2>&1 </dev/null && wineserver -w >>"$log" 2>&1 || status=$?
      if [ $status -ne 0 ]; then
        echo "wine-run.sh: making the Wine prefix $prefix with $loader failed (exit $status):" >&2
        cat "$log" >&2
        exit $status
      fi
      touch "$prefix/.tarnwick-ready"
    fi
  ) 9>"$prefix.lock"
fi
exec "$loader" "$@"
