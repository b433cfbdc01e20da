#!/usr/bin/env bash
# qel's benchmark: measures the Windows build and prints one short report.
#
#   scripts/bench.sh
#
# Measured now:
#   start    wall time of script mode, "qel.exe 1 1" against the simulated
#            switch, over the do-nothing Win32 program noop.exe of the same
#            build: ratio of the medians (aim: 1.10 or less)
#   size     qel.exe in KiB (aim: 400 KiB or less)
#   imports  the DLLs qel.exe imports (aim: Windows system DLLs only)
#
# The start-up runs alternate (noop, qel, noop, qel, ...) after one warm-up
# run of each, all under one Wine session, each timed with date +%s%N around
# "wine ./PROG.exe ARGS" launched the same way from build/win32/bench/, which
# holds copies of qel.exe, the simulated socket.dll and noop.exe, an ip.ini
# and the simulated outlets' state (QELSIM_STATE points there).
# QEL_BENCH_RUNS sets the number of timed runs of each program (default 30).
#
# It installs what is missing and builds build/win32 first. A missed aim is
# reported, not failed: the exit code is 0 then. It is 1 only when something
# could not be measured (a build that fails, a run that does not exit 0).
# Uses the Wine session of build/win32: not while scripts/test.sh or
# scripts/run.sh runs there.
#
# Adding a measurement: write a function bench_NAME that prints its report
# line(s) with report_line, and add NAME to bench_measurements below.

# The measurements are called by name (bench_$name), which the linter does
# not follow: it would call them unreachable.
# shellcheck disable=SC2317
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/win32"
bench="$build/bench"
objdump=i686-w64-mingw32-objdump
trap 'exit 130' INT TERM

# In the order they run and report.
bench_measurements=(start size imports)

bench_failed=0
bench_error() {
  echo "bench.sh: $*" >&2
  bench_failed=1
}

# One report line: a name column, then the text.
report_line() {
  printf '%-8s %s\n' "$1" "$2"
}

# "met" or "MISSED", from a condition that awk evaluates.
aim_verdict() {
  awk "BEGIN { exit !($1) }" && echo met || echo MISSED
}

# The median of the numbers on stdin, one a line.
median() {
  sort -n | awk '{ v[NR] = $1 }
    END { if (NR == 0) exit 1
          if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ns_to_ms() {
  awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'
}

# Runs "wine ./PROGRAM ARGS..." in the bench folder and prints its wall time
# in nanoseconds; fails with the program's exit code.
time_wine_run() {
  local start end code=0
  start=$(date +%s%N)
  wine "./$1" "${@:2}" </dev/null >/dev/null 2>&1 || code=$?
  end=$(date +%s%N)
  echo $((end - start))
  return "$code"
}

# ---------------------------------------------------------------- measurements

bench_start() {
  local i t failures=0 noop_ms qel_ms ratio verdict
  local -a noop_times=() qel_times=()
  rm -f "$bench/socket-sim.state"
  cd "$bench"
  # Warm-up: one run of each, not counted.
  time_wine_run noop.exe >/dev/null || true
  time_wine_run qel.exe 1 1 >/dev/null || true
  for ((i = 0; i < runs; i++)); do
    t=$(time_wine_run noop.exe) || { bench_error "noop.exe exited $?"; failures=$((failures + 1)); }
    noop_times+=("$t")
    t=$(time_wine_run qel.exe 1 1) || { bench_error "qel.exe 1 1 exited $?"; failures=$((failures + 1)); }
    qel_times+=("$t")
  done
  cd "$root"
  noop_ms=$(ns_to_ms "$(printf '%s\n' "${noop_times[@]}" | median)")
  qel_ms=$(ns_to_ms "$(printf '%s\n' "${qel_times[@]}" | median)")
  ratio=$(awk -v q="$qel_ms" -v n="$noop_ms" 'BEGIN { printf "%.2f", q / n }')
  verdict=$(aim_verdict "$ratio <= 1.10")
  if [ "$failures" -gt 0 ]; then verdict="NOT MEASURED ($failures runs failed)"; fi
  report_line start "qel.exe 1 1 / noop.exe = $ratio (medians $qel_ms ms / $noop_ms ms, $runs runs each); aim <= 1.10: $verdict"
}

bench_size() {
  local bytes kib verdict
  bytes=$(stat -c %s "$build/qel.exe")
  kib=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1024 }')
  verdict=$(aim_verdict "$bytes <= 400 * 1024")
  report_line size "qel.exe = $kib KiB ($bytes bytes); aim <= 400 KiB: $verdict"
}

# The system DLL list is the one of the qel_imports test.
bench_imports() {
  local out code=0 dlls verdict=met others
  out=$(bash "$root/startup/e2e/check_imports.sh" "$objdump" "$build/qel.exe") || code=$?
  dlls=$(sed -n 's/^ok: //p; s/^not a system DLL: //p' <<<"$out" | tr '\n' ' ')
  dlls=${dlls% }
  if [ -z "$dlls" ]; then
    bench_error "no imports read from qel.exe: $out"
    report_line imports "NOT MEASURED"
    return
  fi
  others=$(sed -n 's/^not a system DLL: //p' <<<"$out" | tr '\n' ' ')
  if [ "$code" -ne 0 ]; then verdict="MISSED (${others% })"; fi
  report_line imports "$dlls; aim: Windows system DLLs only: $verdict"
}

# ---------------------------------------------------------------- main

runs=${QEL_BENCH_RUNS:-30}
if ! [[ $runs =~ ^[0-9]+$ ]] || [ "$runs" -lt 1 ]; then
  echo "bench.sh: QEL_BENCH_RUNS must be a positive whole number, not '$runs'" >&2
  exit 2
fi

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" win32 >&2

for f in "$build/qel.exe" "$build/simswitch/socket.dll" "$build/startup/e2e/noop.exe"; do
  if [ ! -f "$f" ]; then
    echo "bench.sh: the build made no ${f#"$root"/}" >&2
    exit 1
  fi
done

mkdir -p "$bench"
cp "$build/qel.exe" "$build/simswitch/socket.dll" "$build/startup/e2e/noop.exe" "$bench/"
printf '%s\r\n' '[Qelmark]' 'IP=192.168.1.10' 'SW1=1' 'SW2=4' 'SW3=32' 'SW4=128' \
  'CMD1=' 'CMD2=' 'CMD3=' >"$bench/ip.ini"

export QEL_WINE_DISPLAY=xvfb
# shellcheck source=SCRIPTDIR/wine-env.sh
source "$root/scripts/wine-env.sh" "$build"
# The simulated switch keeps its state in the bench folder (Z: is /), with no
# journal and no faults.
state="$bench/socket-sim.state"
export QELSIM_STATE="Z:${state//\//\\}"
unset QELSIM_JOURNAL QELSIM_FAULT

echo "qel benchmark, Windows build under $(wine --version 2>/dev/null || echo Wine)"
for name in "${bench_measurements[@]}"; do
  "bench_$name"
done
exit "$bench_failed"
