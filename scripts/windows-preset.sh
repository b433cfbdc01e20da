#!/usr/bin/env bash
# Prints the preset whose Windows programs Wine can run on this machine:
# win32 (qel as it ships, 32-bit x86) when the kernel runs 32-bit programs,
# win64 (the same sources built for x64) when it does not, as on a kernel
# with its 32-bit emulation switched off. Exit code 0 either way.
if [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo win32
else
  echo win64
fi
