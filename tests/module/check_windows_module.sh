#!/usr/bin/env bash
# check_windows_module.sh OBJDUMP MODULE NAME EXPORT...
# Reads a Windows module's headers as a loader does and checks what a host
# and a user rely on: the export directory names the module NAME and exports
# exactly EXPORT... (in this order, from ordinal 1); only system DLLs are
# imported, so nothing has to be installed beside it; and the header carries
# no link time, so that the same sources give the same bytes.
set -euo pipefail
objdump=$1 module=$2 name=$3
shift 3
expected="$*"
headers=$("$objdump" -p "$module")
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] //p' | tr '\n' ' ')
[ "${exports% }" = "$expected" ] || fail "exports are '${exports% }', expected '$expected'"
grep -q "^Ordinal Base[[:space:]]*1$" <<<"$headers" || fail "ordinals do not start at 1"
grep -q "^Name[[:space:]].* $name$" <<<"$headers" || fail "the export directory does not name $name"

system_dlls='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|shell32|comctl32|windowscodecs|msvcrt|ntdll)\.dll$'
while read -r dll; do
  lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
  [[ $lower =~ $system_dlls ]] || fail "imports $dll, which is not a system DLL"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
grep -q "DLL Name: KERNEL32.dll" <<<"$headers" || fail "no import table read"

stamp=$(sed -n 's/^Time\/Date\s*//p' <<<"$headers" | head -1)
[[ $stamp == *1970 ]] || fail "the header carries a link time: $stamp"

[ $failed = 0 ] && echo "ok: $name exports $expected and imports system DLLs only"
exit $failed
