#!/usr/bin/env bash
# Configures and builds qel, Release, with all cores:
#   build/native  the portable core and its unit tests, host compiler
#   build/win32   qel.exe, the simulated switch and the Windows test programs
#                 (mingw-w64 cross build)
#   build/asan    like native, with ASan and UBSan (only when asked)
#   build/fuzz    the libFuzzer targets of the core, clang with ASan and UBSan
#                 (only when asked; scripts/fuzz.sh runs them)
#
# Usage: scripts/build.sh [--asan] [native|win32|asan|fuzz ...]
#   no names: native and win32; --asan adds asan to them.
# Paths are relative to the project, wherever this is called from.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

builds=()
with_asan=0
for arg in "$@"; do
  case "$arg" in
    --asan) with_asan=1 ;;
    native|win32|asan|fuzz) builds+=("$arg") ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "build.sh: unknown argument '$arg'" >&2; exit 2 ;;
  esac
done
if [ ${#builds[@]} -eq 0 ]; then builds=(native win32); fi
if [ "$with_asan" = 1 ]; then builds+=(asan); fi

build_one() {
  local name="$1" dir="$root/build/$1" args=()
  case "$name" in
    native) args=(-DCMAKE_BUILD_TYPE=Release -DQEL_SANITIZE=OFF) ;;
    win32)  args=(-DCMAKE_BUILD_TYPE=Release
                  "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/i686-w64-mingw32.cmake"
                  # Test programs list their tests under Wine when CTest
                  # runs, not while building (no Wine during the build).
                  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST) ;;
    # Optimised, with line numbers in the sanitizers' reports.
    asan)   args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEL_SANITIZE=ON) ;;
    fuzz)   args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++
                  -DCMAKE_C_COMPILER=clang -DQEL_FUZZ=ON) ;;
  esac
  # Ninja for a new build directory; an existing one keeps its generator.
  if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
    args+=(-G Ninja)
  fi
  echo "== build.sh: configuring build/$name" >&2
  if ! cmake --no-warn-unused-cli -S "$root" -B "$dir" "${args[@]}"; then
    echo "build.sh: FAILED to configure build/$name" >&2
    return 1
  fi
  echo "== build.sh: building build/$name" >&2
  if ! cmake --build "$dir" --parallel "$jobs"; then
    echo "build.sh: FAILED to build build/$name" >&2
    return 1
  fi
}

seen=" "
for name in "${builds[@]}"; do
  case "$seen" in *" $name "*) continue ;; esac
  seen+="$name "
  build_one "$name"
done
