#!/usr/bin/env bash
# Runs every fuzz target in DIR for SECONDS each, as many at a time as there
# are cores; any crash or sanitizer report fails. Seeds come from
# fuzz/corpus/<target>/ when present.
set -euo pipefail
dir=$(cd "$1" && pwd); secs=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)

run_one() {
  local exe=$1 secs=$2 here=$3
  local name work
  name=$(basename "$exe")
  work=$(mktemp -d)
  [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/"
  if "$exe" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
       -artifact_prefix="$exe-" "$work" > "$exe.log" 2>&1; then
    echo "fuzz ok: $name (${secs}s)"
  else
    echo "FUZZ FAILURE in $name:"; tail -n 40 "$exe.log"
    rm -rf "$work"; return 1
  fi
  rm -rf "$work"
}
export -f run_one

find "$dir" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x ! -name '*-crash-*' ! -name '*-leak-*' \
     ! -name '*-timeout-*' ! -name '*-oom-*' -print0 | sort -z |
  xargs -0 -n1 -P"$(nproc)" bash -c 'run_one "$3" "$1" "$2"' run_one "$secs" "$here" ||
  { echo "fuzzing found faults"; exit 1; }
