#!/usr/bin/env bash
# qel's test command: installs what is missing, builds, and runs every test.
# Stages 1 to 4 each run a workflow of CMakePresets.json (configure, build,
# test: cmake --workflow --preset NAME).
#   1. build/native: core unit tests with the host compiler
#   2. build/asan:   the same with ASan and UBSan
#   3. build/fuzz:   the libFuzzer targets of the core (clang, ASan, UBSan):
#                    CTest replays their seed corpora and saved findings,
#                    then scripts/fuzz.sh fuzzes each for a short while
#   4. build/win32:  the Windows programs under Wine, one test at a time,
#                    in a session of scripts/wine-session (a private Xvfb,
#                    the build's own prefix; on a kernel that runs no 32-bit
#                    programs under the emulator qemu-i386); CTest's log:
#                    build/win32/Testing/Temporary/LastTest.log
#   5. reproducible: scripts/check-reproducible.sh builds the release twice,
#                    in two temporary folders, and compares the zips
# Exits nonzero when anything failed, after a short summary.
#
# Environment: QEL_WIN32_TEST_JOBS (default 1) runs that many Windows tests
# at once; QEL_TEST_TIMEOUT (default 300) is the per-test limit in seconds
# for tests that set none themselves (CMakeLists.txt takes it when the
# workflow configures); QEL_FUZZ_SECONDS (default 15) is how long each fuzz
# target runs.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
win32_jobs="${QEL_WIN32_TEST_JOBS:-1}"
export QEL_TEST_TIMEOUT="${QEL_TEST_TIMEOUT:-300}"
fuzz_seconds="${QEL_FUZZ_SECONDS:-15}"

logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT
trap 'exit 130' INT TERM

results=()      # one line per stage, for the summary
failed=0
passed_tests=0
failed_tests=0

note() { results+=("$(printf '%-7s %s' "$1" "$2")"); }

# The workflow of one preset: configure, build, then ctest, whose closing
# line gives the test counts. Without that line the build failed and no test
# ran. $1: the preset; $2: how many tests run at once; then the command it
# runs in, if any (a Wine session).
run_workflow() {
  local name="$1" jobs="$2" log="$logdir/$1.log" rc line total bad
  shift 2
  echo "== test.sh: configure, build and test build/$name" >&2
  (cd "$root" && CTEST_PARALLEL_LEVEL="$jobs" "$@" cmake --workflow --preset "$name") 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ] && [ "$rc" -eq 125 ]; then
    note "$name" "FAILED: the Wine session did not start"
    failed=1
    return 1
  elif [ -z "$line" ] && [ "$rc" -ne 0 ]; then
    note "$name" "FAILED: build (no tests run)"
    failed=1
    return 1
  fi
  if [ -n "$line" ]; then
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed_tests=$((passed_tests + total - bad))
    failed_tests=$((failed_tests + bad))
  fi
  if [ "$rc" -eq 0 ]; then
    note "$name" "ok${line:+ ($line)}"
  else
    note "$name" "FAILED: ctest exit $rc${line:+ ($line)}"
    failed=1
  fi
  return 0
}

if ! bash "$root/scripts/setup.sh"; then
  echo "test.sh: scripts/setup.sh failed" >&2
  exit 1
fi

run_workflow native "$jobs"

UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}" run_workflow asan "$jobs"

if run_workflow fuzz "$jobs"; then
  echo "== test.sh: fuzzing, $fuzz_seconds s per target" >&2
  if bash "$root/scripts/fuzz.sh" "$fuzz_seconds"; then
    note fuzzing "ok ($fuzz_seconds s per target)"
  else
    note fuzzing "FAILED: inputs saved in fuzz/regressions/, logs in build/fuzz/logs/"
    failed=1
  fi
fi

# The Windows tests run qel as it ships, the 32-bit build, on every machine
# (scripts/run32-mode.sh says how).
run_workflow win32 "$win32_jobs" "$root/scripts/wine-session" "$root/build/win32"
if [ "$(bash "$root/scripts/run32-mode.sh")" = qemu ]; then
  note win32 "(the 32-bit programs ran $(bash "$root/scripts/run32-mode.sh" --describe))"
fi

echo "== test.sh: the release, built twice in two folders" >&2
if bash "$root/scripts/check-reproducible.sh"; then
  note release "ok (the same zips from two folders)"
  passed_tests=$((passed_tests + 1))
else
  note release "FAILED: the zips differ between two builds (or a build failed)"
  failed_tests=$((failed_tests + 1))
  failed=1
fi

echo
echo "== test.sh summary"
printf '  %s\n' "${results[@]}"
if [ "$failed" -ne 0 ]; then
  echo "test.sh: FAILED"
else
  echo "test.sh: all passed"
fi
echo "total: $passed_tests passed, $failed_tests failed"
exit "$failed"
