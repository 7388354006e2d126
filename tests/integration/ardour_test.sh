#!/usr/bin/env bash
# The gate in a real VST 2 host: Debian's Ardour 7, headless, on its dummy
# audio back end. Scans the module, builds a session with the gate on a
# 4-input track, exports audio with the gate shut and open, saves, reloads the
# session in a second process and checks what Ardour reports.
#   ardour_test.sh MODULE AUDIO_STAT_TOOL WORKDIR
# Exit 0 pass, 1 fail, 77 Ardour not installed.
set -uo pipefail

module=$(readlink -f "$1")
stat_tool=$(readlink -f "$2")
work=$(realpath -m "$3")  # Ardour needs absolute paths throughout
scanner=/usr/lib/ardour7/ardour-vst-scanner
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v ardour7-lua >/dev/null || [ ! -x "$scanner" ]; then
  echo "SKIP: ardour7-lua or $scanner not installed"
  exit 77
fi

fail=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    echo "ok   $1: $3"
  else
    echo "FAIL $1: expected '$2', got '$3'"
    fail=1
  fi
}
result() {  # result FILE KEY: the value of a "RESULT KEY=value" line
  sed -n "s/^RESULT $2=//p" "$1" | head -1
}
# Ardour 7.3 now and then aborts with a heap error inside close_session, after
# everything is done and saved; it does so with a do-nothing plug-in as well.
# Such an abort, once the script has reported LAST_KEY and Ardour has begun
# tearing the session down, is Ardour's and counts as a clean end; a timeout,
# a crash before that point or a missing report does not.
ardour_end() {  # ardour_end EXIT_CODE FILE LAST_KEY: prints the exit code to judge
  if [ "$1" -ge 128 ] && [ "$1" -ne 137 ] && [ -n "$(result "$2" "$3")" ] &&
     [ -z "$(result "$2" done)" ] && grep -q '^Butler drops pool trash' "$2"; then
    echo "note: Ardour aborted ($1) while closing the session, after saving" >&2
    echo 0
  else
    echo "$1"
  fi
}

rm -rf "$work"
mkdir -p "$work/home/.config/ardour7" "$work/lxvst"
# A private home: Ardour's configuration and its plug-in cache stay here,
# whatever the caller's XDG folders say.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
# The folder holds only our module. Ardour trusts its scan cache only when the
# module is strictly older than the cache, so a module built in the same
# second as the scan would be taken as changed and hidden: date the copy back.
cp "$module" "$work/lxvst/Tarnwick.so"
touch -m -d "@$(( $(date +%s) - 60 ))" "$work/lxvst/Tarnwick.so"
cat > "$HOME/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="plugin-path-lxvst" value="$work/lxvst"/>
  </Config>
</Ardour>
XML

# 1. The scanner loads the module in its own process, asks for everything and
#    answers 0 to the sample-rate and block-size queries.
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" -f -v "$work/lxvst/Tarnwick.so" \
  > "$work/scan.txt" 2>&1
check "scanner exit code" 0 $?
info=$(grep -o '<VST2Info [^>]*>' "$work/scan.txt" | head -1)
attr() { sed -n "s/.* $1=\"\([^\"]*\)\".*/\1/p" <<< "$info"; }
check "scanned name" "QB Sidechain Gate" "$(attr name)"
check "scanned vendor" "Quorbel" "$(attr creator)"
check "scanned id (\"4164\")" 875640372 "$(attr id)"
check "scanned inputs" 4 "$(attr n_inputs)"
check "scanned outputs" 2 "$(attr n_outputs)"
check "scanned as effect" 0 "$(attr is_instrument)"
if [ $fail -ne 0 ]; then cat "$work/scan.txt"; exit 1; fi

# 2. Session, plug-in, exports, final values, save.
final="0=0.25,1=0.75,2=0.5,3=0.375,4=1,5=1"
TEST_SESSION_DIR=$work/session TEST_PLUGIN_NAME="QB Sidechain Gate" TEST_FINAL=$final \
TEST_EXPORT_SECONDS=1 timeout 300 ardour7-lua "$here/ardour_create.lua" > "$work/create.txt" 2>&1
rc=$?
c=$work/create.txt
check "first Ardour process exit code" 0 "$(ardour_end $rc "$c" saved)"
check "listed among LXVST plug-ins" true "$(result "$c" listed)"
check "track inputs" 4 "$(result "$c" track_inputs)"
check "plug-in name" "QB Sidechain Gate" "$(result "$c" name)"
check "plug-in maker" "Quorbel" "$(result "$c" maker)"
check "one instance" 1 "$(result "$c" instances)"
check "audio inputs" 4 "$(result "$c" in)"
check "audio outputs" 2 "$(result "$c" out)"
check "parameters" 6 "$(result "$c" params)"
check "parameter 3 name" "par3" "$(result "$c" param_name_3)"
check "threshold default" 0.5 "$(result "$c" param_default_3)"
check "programs" 16 "$(result "$c" programs)"
# Ardour shows a program as "INDEX - NAME".
check "program 0" "0 - Preset 0" "$(result "$c" program_0)"
check "program 15" "15 - Preset 15" "$(result "$c" program_15)"
check "export shut" true "$(result "$c" export_shut)"
check "export open" true "$(result "$c" export_open)"
check "saved" true "$(result "$c" saved)"

# 3. The exported audio: the gate shut with threshold 1.0 (the key, sines
#    well below full scale, never reaches it) and open with threshold 0.0.
#    The first 0.2 s of the open export are skipped: the attack ramps up there.
#    The export is 16-bit with dither, so "silent" means a few steps of 1/32768.
shut=$("$stat_tool" "$work/session/export/shut.wav" 2>&1)
open=$("$stat_tool" "$work/session/export/open.wav" 0.2 2>&1)
echo "shut export: $shut"
echo "open export: $open"
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<< "$2"; }
above() {  # above A B: yes or no, or "missing" when there is no A
  if [ -z "$1" ]; then echo missing; return; fi
  awk -v a="$1" -v b="$2" 'BEGIN { print (a > b) ? "yes" : "no" }'
}
check "shut export frames" 48000 "$(field frames "$shut")"
check "shut export channels" 2 "$(field channels "$shut")"
check "shut export is silent (peak <= 0.0005)" no "$(above "$(field peak "$shut")" 0.0005)"
check "open export frames" 48000 "$(field frames "$open")"
check "open export carries the signal (rms > 0.01)" yes "$(above "$(field rms "$open")" 0.01)"

# 4. A new process reopens the session; Ardour hands the stored values back.
TEST_SESSION_DIR=$work/session timeout 180 ardour7-lua "$here/ardour_reload.lua" \
  > "$work/reload.txt" 2>&1
rc=$?
r=$work/reload.txt
check "second Ardour process exit code" 0 "$(ardour_end $rc "$r" param_5)"
check "reloaded plug-in" "QB Sidechain Gate" "$(result "$r" name)"
for pair in ${final//,/ }; do
  idx=${pair%%=*}
  check "reloaded parameter $idx" "$(result "$c" "final_$idx")" "$(result "$r" "param_$idx")"
  check "reloaded parameter $idx is what was set" "$(awk -v v="${pair#*=}" 'BEGIN { print v + 0 }')" \
    "$(awk -v v="$(result "$r" "param_$idx")" 'BEGIN { print v + 0 }')"
done

if [ $fail -ne 0 ]; then
  echo "---- first process"; tail -40 "$c"
  echo "---- second process"; tail -40 "$r"
fi
exit $fail
