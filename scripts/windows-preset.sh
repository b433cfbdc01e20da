#!/usr/bin/env bash
# Prints the preset whose Windows programs Wine can run on this machine:
# win32 (qel as it ships, 32-bit x86) when the kernel runs 32-bit programs,
# win64 (the same sources built for x64) when it does not, as on a kernel
# with its 32-bit emulation switched off. 32-bit programs that run only
# through a user-mode emulator (qemu-i386 registered with binfmt_misc) count
# as not running: Wine under it takes minutes to start a program. Exit code
# 0 either way.
for entry in /proc/sys/fs/binfmt_misc/*; do
  if [ -f "$entry" ] && grep -qx enabled "$entry" 2>/dev/null &&
     grep -q '^interpreter .*qemu-i386' "$entry" 2>/dev/null; then
    echo win64
    exit 0
  fi
done
if [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo win32
else
  echo win64
fi
