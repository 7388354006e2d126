#!/usr/bin/env bash
# Runs every fuzz target in DIR for SECONDS each; any crash or sanitizer
# report fails. Seeds come from fuzz/corpus/<target>/ when present.
set -euo pipefail
dir=$1; secs=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for exe in "$dir"/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  work=$(mktemp -d)
  [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/"
  echo "== $name (${secs}s)"
  if ! "$exe" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
       -artifact_prefix="$dir/$name-" "$work" > "$dir/$name.log" 2>&1; then
    echo "FUZZ FAILURE in $name:"; tail -n 40 "$dir/$name.log"; status=1
  fi
  rm -rf "$work"
done
exit $status
