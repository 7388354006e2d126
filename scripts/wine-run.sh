#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]
# Runs a Windows program under Wine in its own prefix, quietly: no debug
# channels, no Mono or Gecko prompts, no menu entries. The prefix is made on
# first use (about ten seconds), once even when several programs start at once.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -e "$prefix/.tarnwick-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -e "$prefix/.tarnwick-ready" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
      touch "$prefix/.tarnwick-ready"
    fi
  ) 9>"$prefix.lock"
fi
exec wine "$@"
