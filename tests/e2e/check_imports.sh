#!/usr/bin/env bash
# Fails unless the PE file imports Windows system DLLs only, at start-up or
# delay-loaded.
set -euo pipefail
objdump=$1
objcopy=$2
file=$3
system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|oleacc|comctl32|comdlg32|uxtheme|msvcrt|shlwapi|version|imm32|dwmapi|shcore)\.dll$'
mapfile -t dlls < <("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
[ ${#dlls[@]} -gt 0 ] || { echo "no imports found in $file"; exit 1; }
# The delay-loaded DLLs. GNU ld 2.40 leaves the Delay Import Directory empty,
# so objdump -p does not list them, but dlltool's delay libraries keep their
# names in .idata beside the regular ones: every NUL-ended string there that
# ends in ".dll" and is not a regular import is one (the other strings there
# are function names).
idata=$(mktemp)
trap 'rm -f "$idata"' EXIT
"$objcopy" -O binary -j .idata "$file" "$idata"
mapfile -t named < <(tr '\0' '\n' <"$idata" | grep -aoE '[A-Za-z0-9_][A-Za-z0-9_.-]*\.[Dd][Ll][Ll]$' | sort -uf)
delayed=()
for dll in "${named[@]}"; do
  regular=0
  for known in "${dlls[@]}"; do
    if [ "${known,,}" = "${dll,,}" ]; then regular=1; fi
  done
  if [ "$regular" = 0 ]; then delayed+=("$dll"); fi
done
status=0
for dll in "${dlls[@]}"; do
  if [[ ${dll,,} =~ $system ]]; then echo "ok: $dll"; else echo "not a system DLL: $dll"; status=1; fi
done
for dll in "${delayed[@]}"; do
  if [[ ${dll,,} =~ $system ]]; then
    echo "ok: $dll (delay-loaded)"
  else
    echo "not a system DLL: $dll (delay-loaded)"
    status=1
  fi
done
exit $status
