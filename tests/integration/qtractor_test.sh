#!/usr/bin/env bash
# The gate in a real CLAP host: Debian's Qtractor. Its scanner lists the
# plug-in; then Qtractor itself, on the X server of the caller (DISPLAY) and
# a JACK server of the script's own (dummy back end), opens a session that
# holds the gate on a track, shows the editor, takes a drag on it, saves,
# and opens the saved session again with the dragged value.
#   qtractor_test.sh CLAP_FILE X11_DRIVER TARNWICK_HOST WORKDIR
# Exit 0 pass, 1 fail, 77 Qtractor, JACK or an X server missing.
#
# Without an ALSA sequencer (containers) Qtractor says its engine could not
# start and runs without it; it still makes the plug-ins of a session, shows
# their editors and saves their state, so that much is tested here. It then
# also processes nothing, and it feeds CLAP plug-ins their main input only,
# so the key port stays silent in it.
set -uo pipefail

clap=$(readlink -f "$1")
driver=$(readlink -f "$2")
host=$(readlink -f "$3")
work=$(realpath -m "$4")
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan

for tool in qtractor jackd jack_lsp; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool not installed (Debian packages qtractor, jackd2)"
    exit 77
  fi
done
if [ ! -x "$scanner" ] || [ -z "${DISPLAY:-}" ]; then
  echo "SKIPPED: no Qtractor plug-in scanner ($scanner) or no X server"
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

rm -rf "$work"
mkdir -p "$work/home" "$work/session"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# 1. The scanner: name, main audio channels in and out, MIDI, parameters
#    in and out, and what the plug-in offers (an editor, state, real time).
line=$(printf 'CLAP:%s\n' "$clap" | timeout 60 "$scanner" | grep '^CLAP|' | head -1)
IFS='|' read -r _ name audio midi params flags path index _ <<<"$line"
check "scanned name" "QB Sidechain Gate" "$name"
check "scanned audio channels (main ports)" "2:2" "$audio"
check "scanned MIDI ports" "0:0" "$midi"
check "scanned parameters" "6:0" "$params"
check "scanned features" "GUI,EXT,RT" "$flags"
check "scanned file" "$clap" "$path"

# 2. Qtractor itself.
export JACK_DEFAULT_SERVER="tarnwick-qtractor-$$"
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jack=$!
qtractor_pid=
cleanup() {
  [ -n "$qtractor_pid" ] && kill "$qtractor_pid" 2>/dev/null
  kill "$jack" 2>/dev/null && wait "$jack" 2>/dev/null
}
trap cleanup EXIT
up=
for _ in $(seq 100); do
  if jack_lsp >/dev/null 2>&1; then up=1; break; fi
  sleep 0.2
done
if [ -z "$up" ]; then
  echo "SKIPPED: the JACK server (jackd, dummy back end) did not start"
  cat "$work/jackd.log"
  exit 77
fi

session=$work/session/gate.qtr
cat >"$session" <<XML
<!DOCTYPE qtractorSession>
<session name="gate" version="0.9.31">
 <properties><directory>$work/session</directory><sample-rate>48000</sample-rate></properties>
 <tracks>
  <track name="Pad" type="audio">
   <properties><input-bus>Master</input-bus><output-bus>Master</output-bus></properties>
   <plugins>
    <plugin type="CLAP">
     <filename>$clap</filename>
     <index>0</index>
     <label>QB_Sidechain_Gate</label>
     <activated>true</activated>
    </plugin>
   </plugins>
  </track>
 </tracks>
</session>
XML

# Starts Qtractor on SESSION, answers its engine's error, and opens the
# gate's editor from the track's plug-in list: sets main and editor.
open_session() {
  qtractor "$1" >>"$work/qtractor.log" 2>&1 &
  qtractor_pid=$!
  main=
  editor=
  local error
  if error=$("$driver" wait "Error" 20); then
    "$driver" key "$error" Return
  fi
  main=$("$driver" wait "gate.qtr" 20) || { echo "FAIL Qtractor shows no session window"; return 1; }
  sleep 2
  check "Qtractor made the plug-in" 1 "$(grep -c "$clap" /proc/$qtractor_pid/maps | sed 's/^[1-9][0-9]*$/1/')"
  # The plug-in's row in the track's list, a double click away from its editor.
  "$driver" click "$main" 178 179 2
  editor=$("$driver" size 336 157 10) || { echo "FAIL no editor of 336 x 157 appeared"; return 1; }
  sleep 1
}

# Ends Qtractor. Without its engine, Qtractor 0.9.31 crashes on its way out
# (with or without a plug-in in the session), so it is not asked to quit.
quit() {
  kill -KILL "$qtractor_pid" 2>/dev/null
  wait "$qtractor_pid" 2>/dev/null
  qtractor_pid=
}

render() {  # render OPTIONS...: the editor as tarnwick-host draws it, in $work/render.png
  "$host" render --out "$work/render.png" "$@" >/dev/null
}

if open_session "$session"; then
  render
  check "editor drawn as the render (differing pixels)" 0 "$("$driver" compare "$editor" "$work/render.png")"
  # Drag the attack knob upwards; the gesture reaches Qtractor by a flush.
  "$driver" drag "$editor" 54 72 -4 8
  sleep 1.5
  # Saved as its user saves (a key the window may miss while it takes the
  # focus: given again until the file changes).
  before=$(stat -c %Y.%s "$session")
  for _ in 1 2 3 4 5; do
    "$driver" key "$main" ctrl+s
    sleep 2
    [ "$(stat -c %Y.%s "$session")" != "$before" ] && break
  done
  # (Qt writes an element's attributes in any order.)
  attack=$(grep '<param [^>]*name="Attack"' "$session" | sed 's|.*>\([^<]*\)</param>.*|\1|' | head -1)
  echo "     saved attack: $attack"
  check "the drag reached Qtractor (attack above its default 0.1)" 1 \
    "$(awk -v a="${attack:-0}" 'BEGIN { print (a > 0.15) ? 1 : 0 }')"
  check "the session holds the plug-in's state" 1 "$(grep -c '<configs>' "$session" | sed 's/^[1-9][0-9]*$/1/')"
  render --set "attack=$attack"
  check "editor after the drag (differing pixels)" 0 "$("$driver" compare "$editor" "$work/render.png")"
  quit

  # Opened again, the gate comes back with the dragged value.
  if open_session "$session"; then
    check "reopened editor shows the saved value (differing pixels)" 0 \
      "$("$driver" compare "$editor" "$work/render.png")"
    quit
  else
    fail=1
  fi
else
  fail=1
fi
exit $fail
