#!/usr/bin/env bash
# Configures and builds qel with the presets of CMakePresets.json (the
# workflow PRESET-build: configure, then build):
#   native  build/native: the portable core and its unit tests, host compiler
#   win32   build/win32:  qel.exe, the simulated switch, the tools and the
#                         Windows test programs (mingw-w64 cross build)
#   asan    build/asan:   like native, with ASan and UBSan
#   fuzz    build/fuzz:   the libFuzzer targets of the core (clang)
#   win64-timing  build/win64-timing: qel.exe, the simulated switch and the
#                 benchmark's programs for x64, timed by scripts/bench.sh
#                 where 32-bit programs can only be emulated; never shipped
#
# Usage: scripts/build.sh [PRESET ...] [-- CMAKE BUILD ARGUMENTS]
#   no presets: native and win32. After "--", e.g. "--target show_state".
# Works from any folder.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
presets=()
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    native|win32|asan|fuzz|win64-timing) presets+=("$1") ;;
    --) shift; extra=("$@"); break ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "build.sh: unknown preset '$1' (have: native win32 asan fuzz win64-timing)" >&2; exit 2 ;;
  esac
  shift
done
if [ ${#presets[@]} -eq 0 ]; then presets=(native win32); fi

cd "$root"
for preset in "${presets[@]}"; do
  echo "== build.sh: $preset (build/$preset)" >&2
  if [ ${#extra[@]} -eq 0 ]; then
    # The preset's workflow without its test step: configure, then build.
    if ! cmake --workflow --preset "$preset-build"; then
      echo "build.sh: FAILED to configure or build build/$preset" >&2
      exit 1
    fi
    continue
  fi
  if ! cmake --preset "$preset" --no-warn-unused-cli >/dev/null; then
    # Again, with the output, to show what went wrong.
    cmake --preset "$preset" --no-warn-unused-cli >&2 || true
    echo "build.sh: FAILED to configure build/$preset" >&2
    exit 1
  fi
  if ! cmake --build --preset "$preset" "${extra[@]}"; then
    echo "build.sh: FAILED to build build/$preset" >&2
    exit 1
  fi
done
