#!/usr/bin/env bash
# Fails unless an object file names each of the switch library's functions,
# defined or called, exactly as a __stdcall function of that many bytes of
# arguments is named on 32-bit x86: "_setdata@4", "_receivep6@0". The
# compiler writes the size only for __stdcall: "_setdata" is a function of
# another convention. For receivep6, which takes no argument, the name is the
# only place where its convention shows: a wrong one changes nothing at run
# time.
#
# usage: check_stdcall_names.sh NM "setip@4 receivep6@0 ..." OBJECT...
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 NM EXPECTED OBJECT..." >&2
  exit 2
fi
nm=$1
expected=$2
shift 2
status=0
for object in "$@"; do
  symbols=$("$nm" "$object" | awk '{ print $NF }') || { echo "cannot read $object" >&2; exit 1; }
  for name in $expected; do
    function=${name%@*}
    found=$(printf '%s\n' "$symbols" | grep -E "^_${function}(@[0-9]+)?\$" | sed 's/^_//' | sort -u | paste -sd ' ')
    if [ "$found" != "$name" ]; then
      echo "$object: $function is named ${found:-nothing}, not $name (a __stdcall function of its arguments)"
      status=1
    fi
  done
  if [ $status -eq 0 ]; then echo "$object: $expected"; fi
done
exit $status
