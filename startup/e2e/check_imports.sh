#!/usr/bin/env bash
# Fails unless the PE file imports Windows system DLLs only.
set -euo pipefail
objdump=$1
file=$2
system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|uxtheme|msvcrt|shlwapi|version|imm32|dwmapi|shcore)\.dll$'
mapfile -t dlls < <("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
[ ${#dlls[@]} -gt 0 ] || { echo "no imports found in $file"; exit 1; }
status=0
for dll in "${dlls[@]}"; do
  if [[ ${dll,,} =~ $system ]]; then echo "ok: $dll"; else echo "not a system DLL: $dll"; status=1; fi
done
exit $status
