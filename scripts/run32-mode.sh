#!/usr/bin/env bash
# Prints how this machine runs qel as it ships, the 32-bit x86 qel.exe,
# under Wine:
#   native  the kernel runs 32-bit programs: the 32-bit Wine runs it as on
#           any Linux PC
#   qemu    the kernel runs no 32-bit programs (its 32-bit emulation
#           switched off, as on some virtual machines): the 32-bit half of
#           Wine runs under the user-mode emulator qemu-i386 10, which
#           scripts/setup.sh fetches into build/emulator/, and the 64-bit
#           half natively (scripts/wine-qemu.sh sets that up)
# QEL_RUN32=qemu takes the emulator even where the kernel could do without
# it (to try that route on any machine); QEL_RUN32=native never does.
# With --describe it prints the words the Wine session, the test command and
# the benchmark report it in: "natively" or "under qemu-i386 (why)".
# Exit code 0 either way.
mode="${QEL_RUN32:-}" why="QEL_RUN32=qemu"
case "$mode" in
  native|qemu) ;;
  "")
    # The 32-bit dynamic loader runs only where the kernel runs 32-bit code.
    # A binfmt_misc entry that hands i386 programs to an emulator counts as
    # not running them: that emulator is none of ours.
    mode=native why="this kernel runs no 32-bit programs"
    for entry in /proc/sys/fs/binfmt_misc/*; do
      if [ -f "$entry" ] && grep -qx enabled "$entry" 2>/dev/null &&
         grep -q '^interpreter .*qemu-i386' "$entry" 2>/dev/null; then
        mode=qemu
      fi
    done
    if ! [ -x /lib/ld-linux.so.2 ] || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then mode=qemu; fi
    ;;
  *) echo "run32-mode.sh: QEL_RUN32 is '$mode', not native or qemu" >&2; exit 2 ;;
esac
if [ "${1:-}" != --describe ]; then
  echo "$mode"
elif [ "$mode" = native ]; then
  echo natively
else
  echo "under qemu-i386 ($why)"
fi
