#!/usr/bin/env bash
# The build steps behind qel_delay_load (cmake/delayload.cmake).
#
#   delayload.sh lib NM OBJDUMP DLLTOOL OBJCOPY IMPORT_LIB DLL OUT
#     Makes OUT, a delay-load library for DLL (e.g. user32.dll), from the
#     mingw-w64 import library IMPORT_LIB (e.g. .../libuser32.a).
#   delayload.sh check OBJDUMP EXE DLL...
#     Fails if EXE still imports one of the DLLs in its regular import table.
#
# How a function becomes delay-loaded: its call goes through a slot of the
# delay import address table, which starts out pointing at a small stub of
# the delay library; the first call runs mingw-w64's __delayLoadHelper2
# (libmingwex), which loads the DLL, looks the function up, stores it in the
# slot and jumps there. When the DLL or the function cannot be had it raises
# exception 0xC06D007E or 0xC06D007F, which ends the process.
#
# Two things have to be right besides dlltool's defaults:
#  - The names. The .def file takes each function's link symbol and its real
#    import name from the import library itself (nm, and the name in the
#    member's .idata$6), as "GetSystemMetrics@4 == GetSystemMetrics": the DLL
#    exports stdcall functions without the @N, and a few names are unusual
#    ("ExtractIconW@").
#  - The stubs must survive the link. Each member of dlltool's delay library
#    keeps, in one .text section, the "jmp *slot" thunk under the function's
#    symbol and the stub the slot points to. GNU ld drops the .text section
#    of an import library member when nothing refers to the thunk symbol
#    (pe.em: "identify jump stubs ... which are dead code") - always so when
#    the function is declared dllimport, as the Windows headers do, since the
#    call then goes through __imp_<name> directly. The slot is then relocated
#    against a discarded section and holds 0: the first call jumps to
#    address 0. ld looks for that section by its code flag only, so the
#    sections are renamed to .text$qeldelay (still placed in the output .text
#    by the default linker script, which is executable) and flagged as data.
set -euo pipefail

die() {
  echo "delayload.sh: $*" >&2
  exit 1
}

# "member symbol importname" for every function of an import library, from
# nm -A (the member of each code symbol) and objdump -s of .idata$6: the text
# objdump shows beside the bytes, after the 2-byte hint, up to its first "."
# (objdump's sign for an unprintable byte, here the NUL that ends the name;
# import names hold no dots).
import_names() {
  local nm=$1 objdump=$2 implib=$3
  {
    "$nm" -A "$implib" | awk '$(NF-1) == "T" {
        n = split($1, part, ":"); print "S", part[n - 1], $NF }'
    # shellcheck disable=SC2016  # a section name with a literal $
    "$objdump" -s -j '.idata$6' "$implib" | awk '
      function flush(   name) {
        if (member != "" && text != "") {
          name = substr(text, 3)
          sub(/[.].*/, "", name)
          if (name != "") print "N", member, name
        }
        text = ""
      }
      /: +file format / { flush(); member = $1; sub(/:$/, "", member); next }
      /^Contents of section / { next }
      # " OFFSET" and 35 columns of bytes, then two blanks and the text.
      /^ [0-9a-f]+ [0-9a-f]/ { text = text substr($0, length($1) + 40, 16) }
      END { flush() }'
  } | awk '
    $1 == "S" { sym[$2] = $3; next }
    $1 == "N" { name[$2] = $3 }
    END { for (m in sym) if (m in name) print m, sym[m], name[m] }' | sort
}

make_lib() {
  [ $# -eq 7 ] || die "usage: delayload.sh lib NM OBJDUMP DLLTOOL OBJCOPY IMPORT_LIB DLL OUT"
  local nm=$1 objdump=$2 dlltool=$3 objcopy=$4 implib=$5 dll=$6 out=$7
  local base work count
  [ -f "$implib" ] || die "no import library $implib"
  base=$(basename "$out")
  work="$out.work"
  rm -rf "$work" "$out"
  mkdir -p "$work"

  # On 32-bit x86 a function symbol is _NAME (cdecl) or _NAME@N (stdcall);
  # the .def file names it without the leading underscore, which dlltool adds
  # again. x64 symbols (the benchmark's timing build) have no such
  # underscore: one there is part of the name (comctl32's _TrackMouseEvent).
  local prefix=_
  if "$objdump" -f "$implib" | grep -q 'file format pe-x86-64'; then prefix=; fi
  {
    echo "LIBRARY $dll"
    echo "EXPORTS"
    import_names "$nm" "$objdump" "$implib" |
      awk -v prefix="$prefix" '{ if (prefix != "" && index($2, prefix) == 1) $2 = substr($2, 2); print $2 " == " $3 }'
  } >"$work/exports.def"
  count=$(($(wc -l <"$work/exports.def") - 2))
  [ "$count" -gt 0 ] || die "found no functions in $implib"

  # dlltool writes its temporary files into the current folder, and derives
  # the names of the library's own symbols (__DELAY_IMPORT_DESCRIPTOR_...,
  # __tailMerge_...) from the output name, which is therefore the final one.
  (cd "$work" && "$dlltool" --input-def exports.def --dllname "$dll" --output-delaylib "$base") ||
    die "dlltool failed for $dll"
  # shellcheck disable=SC2016  # a section name with a literal $
  "$objcopy" --rename-section '.text=.text$qeldelay,alloc,load,readonly,data,contents' \
    "$work/$base" "$work/$base.fixed" || die "objcopy failed for $dll"
  # No code section may be left for ld to take for a dead jump stub.
  if "$objdump" -h "$work/$base.fixed" | grep -q '\bCODE\b'; then
    die "$base still has code sections after objcopy"
  fi
  mv "$work/$base.fixed" "$out"
  rm -rf "$work"
}

check_exe() {
  [ $# -ge 3 ] || die "usage: delayload.sh check OBJDUMP EXE DLL..."
  local objdump=$1 exe=$2 imported dll status=0
  shift 2
  imported=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
  [ -n "$imported" ] || die "read no imports from $exe"
  for dll in "$@"; do
    if grep -qxF "${dll,,}" <<<"$imported"; then
      echo "delayload.sh: $exe imports $dll at start-up although it is delay-loaded:" \
           "something uses a symbol of it that its delay library lacks (a data export?)," \
           "or is linked after the delay libraries" >&2
      status=1
    fi
  done
  return "$status"
}

case "${1:-}" in
  lib) shift; make_lib "$@" ;;
  check) shift; check_exe "$@" ;;
  *) die "usage: delayload.sh lib|check ..." ;;
esac
