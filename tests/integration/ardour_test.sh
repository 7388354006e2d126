#!/usr/bin/env bash
# The gate in a real VST 2 host: Debian's Ardour 7, headless, on its dummy
# audio back end. Scans the module; one Ardour process builds a session with
# the gate on a 4-input track, sets final values and saves it; another exports
# audio with the gate shut and open from a session of its own; a third
# reloads the saved session. Checks what Ardour reports and what it exported.
# Given the LV2 bundle as well, does the same with the LV2 plug-in: found by
# its URI, its key fed through a side chain, saved and reloaded.
# Given the VST 3 bundle, the same with the VST 3 plug-in, its key on the
# auxiliary bus.
#   ardour_test.sh MODULE AUDIO_STAT_TOOL WORKDIR [LV2_BUNDLE|- [VST3_BUNDLE]]
# Exit 0 pass, 1 fail, 77 Ardour not installed.
set -uo pipefail

module=$(readlink -f "$1")
stat_tool=$(readlink -f "$2")
work=$(realpath -m "$3")  # Ardour needs absolute paths throughout
optional() { if [ -n "$1" ] && [ "$1" != - ]; then readlink -f "$1"; fi; }  # "-": none
bundle=$(optional "${4:-}")
vst3=$(optional "${5:-}")
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

rm -rf "$work"
mkdir -p "$work/home/.config/ardour7" "$work/lxvst" "$work/vst3"
# A private home: Ardour's configuration and its plug-in cache stay here,
# whatever the caller's XDG folders say.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
# The folder holds only our module. Ardour trusts its scan cache only when the
# module is strictly older than the cache, so a module built in the same
# second as the scan would be taken as changed and hidden: date the copy back.
cp "$module" "$work/lxvst/Tarnwick.so"
touch -m -d "@$(( $(date +%s) - 60 ))" "$work/lxvst/Tarnwick.so"
# Ardour 7.3's AVX-512 routines that copy, mix and scale sample buffers write
# up to 16 bytes past the end of the destination when it and the source sit
# differently within 64 bytes. Its export mixes into heap buffers that way and
# the process dies of the damaged heap later, most often while closing the
# session. On such a processor, give Ardour the flags it detects there, less
# AVX-512F (0x80), so it takes its AVX routines: flush-to-zero 0x1,
# denormals-are-zero 0x2, SSE 0x4, SSE2 0x8, AVX 0x10, FMA 0x40.
if grep -qw avx512f /proc/cpuinfo 2>/dev/null; then
  export ARDOUR_FPU_FLAGS=$((0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x40))
fi
cat > "$HOME/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="plugin-path-lxvst" value="$work/lxvst"/>
    <Option name="plugin-path-vst3" value="$work/vst3"/>
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

# 2. Session, plug-in, final values, save: nothing here may fail.
name="QB Sidechain Gate"
final="0=0.25,1=0.75,2=0.5,3=0.375,4=1,5=1"
TEST_SESSION_DIR=$work/session TEST_PLUGIN_NAME=$name TEST_FINAL=$final \
  timeout 180 ardour7-lua "$here/ardour_save.lua" > "$work/save.txt" 2>&1
check "saving Ardour process exit code" 0 $?
c=$work/save.txt
check "listed among LXVST plug-ins" "QB Sidechain Gate" "$(result "$c" listed)"
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
check "saved" true "$(result "$c" saved)"

# 3. Exports, in a session of their own that is never saved, so that what
#    an export does to Ardour's heap cannot reach the saved session. Should
#    Ardour die of its export all the same (with no plug-in on the track it
#    did too), the process is run again, at most twice: only for a death by
#    SIGSEGV or SIGABRT once an export has begun and before the last report.
#    A timeout, a script error or a missing report fails at once.
e=$work/export.txt
for attempt in 1 2 3; do
  rm -rf "$work/export-session"
  TEST_SESSION_DIR=$work/export-session TEST_PLUGIN_NAME=$name TEST_EXPORT_SECONDS=1 \
    timeout 120 ardour7-lua "$here/ardour_export.lua" > "$e" 2>&1
  rc=$?
  case $rc in 134) signal=SIGABRT ;; 139) signal=SIGSEGV ;; *) signal= ;; esac
  if [ $attempt -lt 3 ] && [ -n "$signal" ] && [ -n "$(result "$e" exporting)" ] &&
     [ -z "$(result "$e" done)" ]; then
    began=$(sed -n 's/^RESULT exporting=//p' "$e" | tail -1)
    mv "$e" "$work/export-$attempt.txt"
    echo "retry: exporting Ardour process (attempt $attempt) died by $signal after export" \
      "'$began' began, before its last report; its output: $work/export-$attempt.txt"
    continue
  fi
  break
done
check "exporting Ardour process exit code" 0 $rc
check "export session: one instance" 1 "$(result "$e" instances)"
check "export shut" true "$(result "$e" export_shut)"
check "export open" true "$(result "$e" export_open)"

#    The exported audio: the gate shut with threshold 1.0 (the key, sines
#    well below full scale, never reaches it) and open with threshold 0.0.
#    The first 0.2 s of the open export are skipped: the attack ramps up there.
#    The export is 16-bit with dither, so "silent" means a few steps of 1/32768.
shut=$("$stat_tool" "$work/export-session/export/shut.wav" 2>&1)
open=$("$stat_tool" "$work/export-session/export/open.wav" 0.2 2>&1)
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

# 4. A new process reopens the saved session; Ardour hands the stored values
#    back. Nothing here may fail either.
TEST_SESSION_DIR=$work/session timeout 180 ardour7-lua "$here/ardour_reload.lua" \
  > "$work/reload.txt" 2>&1
check "reloading Ardour process exit code" 0 $?
r=$work/reload.txt
check "reloaded plug-in" "QB Sidechain Gate" "$(result "$r" name)"
for pair in ${final//,/ }; do
  idx=${pair%%=*}
  check "reloaded parameter $idx" "$(result "$c" "final_$idx")" "$(result "$r" "param_$idx")"
  check "reloaded parameter $idx is what was set" "$(awk -v v="${pair#*=}" 'BEGIN { print v + 0 }')" \
    "$(awk -v v="$(result "$r" "param_$idx")" 'BEGIN { print v + 0 }')"
done

logs=("$c" "$e" "$r")

# 5. The plug-ins whose key comes through a side chain (LV2, VST 3): one
#    process builds a session with the plug-in and feeds its key through a
#    side chain, another reloads the session. Active stays on: a gate
#    switched off follows no key, and the reloaded key level shows that the
#    side chain still brings the key.
#      sidechain_plugin LABEL TYPE ID
sidechain_plugin() {
  local label=$1 type=$2 id=$3 dir=$work/$1-session final="0=0.25,1=0.75,2=0.5,3=0.375,4=1,5=1"
  local l=$work/$label-save.txt lr=$work/$label-reload.txt
  TEST_SESSION_DIR=$dir TEST_TYPE=$type TEST_ID=$id TEST_FINAL=$final \
    timeout 180 ardour7-lua "$here/ardour_sidechain_save.lua" > "$l" 2>&1
  check "$label: saving Ardour process exit code" 0 $?
  check "$label: listed" "QB Sidechain Gate" "$(result "$l" listed)"
  check "$label: plug-in name" "QB Sidechain Gate" "$(result "$l" name)"
  check "$label: one instance" 1 "$(result "$l" instances)"
  check "$label: audio inputs, side chain included" 4 "$(result "$l" in)"
  check "$label: audio outputs" 2 "$(result "$l" out)"
  check "$label: control ports" 7 "$(result "$l" controls)"
  check "$label: first control" Attack "$(result "$l" control_0)"
  check "$label: key level port" "Key level" "$(result "$l" control_6)"
  check "$label: presets" 16 "$(result "$l" presets)"
  # The key level is 0 until the side chain is connected, and then rises.
  check "$label: key level with the key unfed" 0 "$(awk -v v="$(result "$l" level_unfed)" 'BEGIN { print v + 0 }')"
  check "$label: side chain added" true "$(result "$l" sidechain_added)"
  check "$label: side chain ports" 2 "$(result "$l" sidechain_ports)"
  check "$label: side chain connected" true "$(result "$l" connected)"
  check "$label: key level with the key fed (> 0)" yes "$(above "$(result "$l" level_fed)" 0)"
  check "$label: saved" true "$(result "$l" saved)"

  TEST_SESSION_DIR=$dir timeout 180 ardour7-lua "$here/ardour_sidechain_reload.lua" > "$lr" 2>&1
  check "$label: reloading Ardour process exit code" 0 $?
  check "$label: reloaded plug-in" "QB Sidechain Gate" "$(result "$lr" name)"
  for pair in ${final//,/ }; do
    idx=${pair%%=*}
    check "$label: reloaded parameter $idx is what was set" \
      "$(awk -v v="${pair#*=}" 'BEGIN { print v + 0 }')" \
      "$(awk -v v="$(result "$lr" "param_$idx")" 'BEGIN { print v + 0 }')"
  done
  check "$label: reloaded with its side chain" true "$(result "$lr" has_sidechain)"
  check "$label: reloaded side chain brings the key (> 0)" yes "$(above "$(result "$lr" level_fed)" 0)"
  logs+=("$l" "$lr")
}

# The LV2 bundle, from a copy that LV2_PATH names alone; found by its URI.
if [ -n "$bundle" ]; then
  mkdir -p "$work/lv2"
  cp -r "$bundle" "$work/lv2/"
  export LV2_PATH=$work/lv2
  sidechain_plugin LV2 LV2 urn:tarnwick:gate
fi
# The VST 3 bundle, from a copy in Ardour's VST 3 folder, once Ardour's
# scanner has seen it; found by its class id.
if [ -n "$vst3" ]; then
  cp -r "$vst3" "$work/vst3/"
  find "$work/vst3" -exec touch -m -d "@$(( $(date +%s) - 60 ))" {} +
  LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 /usr/lib/ardour7/ardour-vst3-scanner -f -v \
    "$work/vst3/Tarnwick.vst3" > "$work/vst3-scan.txt" 2>&1
  check "VST3: scanner exit code" 0 $?
  uid=$(sed -n 's/.*<VST3Info uid="\([0-9A-F]*\)".*/\1/p' "$work/vst3-scan.txt" | head -1)
  check "VST3: scanned class id" 7B1E4A529C3D4F07A86E5D2154574B31 "$uid"
  sidechain_plugin VST3 VST3 "$uid"
fi

if [ $fail -ne 0 ]; then
  for f in "${logs[@]}"; do echo "---- $f"; tail -40 "$f"; done
fi
exit $fail
