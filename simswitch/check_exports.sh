#!/bin/sh
# Checks a built simulated socket.dll from its PE tables, on the build host:
#  - it exports exactly the switch library's FUNCTIONS (a blank-separated
#    list, as CMake reads it from core/switch_library_api.h) under their plain
#    names (no "_name@4" decorations), less the one named as MISSING;
#  - it imports nothing but kernel32 and msvcrt, so it needs no MinGW runtime
#    DLL beside it and, in particular, no network library (ws2_32, wsock32...).
#
# usage: check_exports.sh OBJDUMP DLL FUNCTIONS [MISSING]
set -eu

if [ $# -lt 3 ] || [ $# -gt 4 ]; then
  echo "usage: $0 OBJDUMP DLL FUNCTIONS [MISSING]" >&2
  exit 2
fi
objdump=$1
dll=$2
functions=$3
missing=${4:-}
if [ -z "$functions" ]; then
  echo "no functions given" >&2
  exit 2
fi
allowed_imports="kernel32.dll msvcrt.dll"

if [ -n "$missing" ]; then
  case " $functions " in
    *" $missing "*) ;;
    *) echo "unknown function to be missing: $missing" >&2; exit 2 ;;
  esac
fi

tables=$("$objdump" -p "$dll") || { echo "cannot read $dll" >&2; exit 1; }

# The name table: the lines after "[Ordinal/Name Pointer] Table" up to the
# next blank line; the name is the last field of each.
exports=$(printf '%s\n' "$tables" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  names && NF == 0 { names = 0 }
  names { print $NF }' | sort)
expected=$(for f in $functions; do [ "$f" = "$missing" ] || echo "$f"; done | sort)

imports=$(printf '%s\n' "$tables" | awk '/DLL Name:/ { print tolower($NF) }' | sort -u)

status=0
if [ "$exports" != "$expected" ]; then
  echo "$dll exports:" >&2
  printf '  %s\n' $exports >&2
  echo "expected:" >&2
  printf '  %s\n' $expected >&2
  status=1
fi
if [ -z "$imports" ]; then
  echo "$dll: no import table found" >&2
  status=1
fi
for i in $imports; do
  case " $allowed_imports " in
    *" $i "*) ;;
    *) echo "$dll imports $i (allowed: $allowed_imports)" >&2; status=1 ;;
  esac
done
if [ $status -eq 0 ]; then
  echo "$dll: exports $(echo $exports); imports $(echo $imports)"
fi
exit $status
