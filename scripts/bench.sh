#!/usr/bin/env bash
# qel's benchmark: one short report on the Windows build (a script's and the
# window's start against baselines, idle CPU, size, imports).
#
#   scripts/bench.sh
#
# Installs what is missing, builds build/win32 and runs scripts/bench.py in
# a Wine session; bench.py describes the measurements, their aims, settings
# and exit codes.
#
# Where the kernel runs 32-bit programs, the shipped 32-bit build is timed,
# in a session of build/win32. Where it runs none (scripts/run32-mode.sh says
# qemu), the 32-bit programs could only be emulated: the x64 compiler and the
# 64-bit Wine are installed too (scripts/setup.sh --timing-build), the same
# sources are built for x64 in build/win64-timing, for timing only and never
# shipped, and their programs are timed under wine64 in a session of that
# build. The size and the imports are the shipped 32-bit qel.exe's either way.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(bash "$root/scripts/run32-mode.sh")" = qemu ]; then
  timed=win64-timing
  bash "$root/scripts/setup.sh" --timing-build
  bash "$root/scripts/build.sh" win32 win64-timing >&2
else
  timed=win32
  bash "$root/scripts/setup.sh"
  bash "$root/scripts/build.sh" win32 >&2
fi
# Debian's Python, with the python3-psutil that the setup installs.
QEL_BENCH_TIMED=$timed exec "$root/scripts/wine-session" "$root/build/$timed" \
  /usr/bin/python3 "$root/scripts/bench.py" "$@"
