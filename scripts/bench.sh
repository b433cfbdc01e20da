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
#   window   time until the window of "qel.exe" (window mode, no arguments)
#            is visible, over the same for minwindow.exe, a program that
#            only registers a class and shows one small window: ratio of the
#            medians (aim: 1.25 or less)
#   idle     CPU time of qel.exe's process while its window polls the
#            simulated switch for QEL_BENCH_IDLE_SECONDS (default 60), in
#            percent of one core (aim: 0.5 % or less); the wineserver's and
#            the Xvfb's CPU in the same time are reported beside it, since
#            they do work on qel's behalf
#
# All programs run from build/win32/bench/, which holds copies of qel.exe,
# the simulated socket.dll, noop.exe, minwindow.exe and timewindow.exe, an
# ip.ini and the simulated outlets' state (QELSIM_STATE points there), under
# one Wine session. The timed runs of each comparison alternate (baseline,
# qel, baseline, qel, ...) after one warm-up run of each.
# QEL_BENCH_RUNS sets the number of timed runs of each program (default 30).
#
# start: each run is timed with date +%s%N around "wine ./PROG.exe ARGS".
# window: each run is "wine ./timewindow.exe PROG.exe CLASS", which times
# inside Wine (so without Wine's own start, the same for both programs) from
# just before CreateProcessW until a window of that class of the started
# process is visible (checked every millisecond), prints that time, then
# closes the window (WM_CLOSE) and waits for the program to end.
# idle: "timewindow.exe --hold qel.exe qel" keeps the window open until its
# standard input (a FIFO of this script) ends. After the window shows and 2 s
# of settling, utime+stime of qel.exe's Unix process (and of this prefix's
# wineserver and the Xvfb) are read from /proc at the start and the end of
# the idle time.
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
bench_measurements=(start window idle size imports)

bench_failed=0
bench_error() {
  echo "bench.sh: $*" >&2
  bench_failed=1
}

# One report line: a name column, then the text (the further arguments,
# joined by blanks).
report_line() {
  printf '%-8s %s\n' "$1" "${*:2}"
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

# Runs "wine ./timewindow.exe PROGRAM CLASS" in the bench folder and prints
# the milliseconds until PROGRAM's window of class CLASS was visible; fails
# when timewindow.exe does not exit 0.
time_window_run() {
  local out code=0
  out=$(wine ./timewindow.exe "$1" "$2" </dev/null 2>/dev/null) || code=$?
  if [ "$code" -ne 0 ]; then return "$code"; fi
  out=${out%%$'\r'*}
  [[ $out =~ ^[0-9.]+\ [0-9]+$ ]] || return 1
  echo "${out%% *}"
}

bench_window() {
  local i t failures=0 min_ms qel_ms ratio verdict
  local -a min_times=() qel_times=()
  printf '192.168.1.10=5\n' >"$bench/socket-sim.state"
  cd "$bench"
  # Warm-up: one run of each, not counted.
  time_window_run minwindow.exe minwindow >/dev/null || true
  time_window_run qel.exe qel >/dev/null || true
  for ((i = 0; i < runs; i++)); do
    if t=$(time_window_run minwindow.exe minwindow); then min_times+=("$t"); else
      bench_error "timewindow.exe minwindow.exe exited $?"; failures=$((failures + 1)); fi
    if t=$(time_window_run qel.exe qel); then qel_times+=("$t"); else
      bench_error "timewindow.exe qel.exe exited $?"; failures=$((failures + 1)); fi
  done
  cd "$root"
  if [ "$failures" -gt 0 ]; then
    report_line window "NOT MEASURED ($failures runs failed)"
    return
  fi
  min_ms=$(printf '%s\n' "${min_times[@]}" | median)
  qel_ms=$(printf '%s\n' "${qel_times[@]}" | median)
  ratio=$(awk -v q="$qel_ms" -v n="$min_ms" 'BEGIN { printf "%.2f", q / n }')
  min_ms=$(awk -v v="$min_ms" 'BEGIN { printf "%.1f", v }')
  qel_ms=$(awk -v v="$qel_ms" 'BEGIN { printf "%.1f", v }')
  verdict=$(aim_verdict "$ratio <= 1.25")
  report_line window "qel.exe / minwindow.exe until visible = $ratio (medians $qel_ms ms / $min_ms ms, $runs runs each); aim <= 1.25: $verdict"
}

# utime + stime of a process, in clock ticks.
cpu_ticks() {
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

# The Unix process of the Windows program whose command line starts with
# $1 (its Windows path) in this session's prefix. Wine starts the processes
# that a Windows program creates detached (their parent is init), so they
# are found by command line and prefix rather than as descendants.
wine_process_of() {
  local dir pid cmd found=""
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    cmd=$(tr '\0' '\n' 2>/dev/null <"$dir/cmdline" | head -n 1) || continue
    [ "$cmd" = "$1" ] || continue
    tr '\0' '\n' 2>/dev/null <"$dir/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    if [ -n "$found" ]; then return 1; fi   # more than one: which?
    found=$pid
  done
  [ -n "$found" ] && echo "$found"
}

# Percent of one core: $1 clock ticks of CPU time in $2 nanoseconds.
percent_of_core() {
  awk -v d="$1" -v k="$(getconf CLK_TCK)" -v ns="$2" 'BEGIN { printf "%.2f", 100 * d / k / (ns / 1e9) }'
}

# This prefix's wineserver: it works in the folder named after the prefix's
# device and inode.
wineserver_process() {
  local dir name
  name=$(printf 'server-%s-%x' "$(stat -c %D "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for dir in /proc/[0-9]*; do
    case "$(cat "$dir/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
    if [ "$(basename "$(readlink "$dir/cwd" 2>/dev/null)")" = "$name" ]; then
      echo "${dir#/proc/}"
      return 0
    fi
  done
  return 1
}

bench_idle() {
  local fifo="$bench/idle.fifo" out="$bench/idle.out" holder ctl i qel_pid server_pid=""
  local t0 t1 q0="" q1="" s0=0 s1=0 x0=0 x1=0 code=0 qel_pct server_pct xvfb_pct verdict
  printf '192.168.1.10=5\n' >"$bench/socket-sim.state"
  rm -f "$fifo" "$out"
  mkfifo "$fifo"
  cd "$bench"
  wine ./timewindow.exe --hold qel.exe qel <"$fifo" >"$out" 2>/dev/null &
  holder=$!
  exec {ctl}>"$fifo"
  cd "$root"
  for ((i = 0; i < 600; i++)); do
    if [ -s "$out" ] || ! kill -0 "$holder" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if ! [ -s "$out" ]; then
    exec {ctl}>&-
    wait "$holder" || code=$?
    rm -f "$fifo" "$out"
    bench_error "qel.exe's window did not show (timewindow.exe exited $code)"
    report_line idle "NOT MEASURED"
    return
  fi
  sleep 2   # the end of the start-up is not idle time
  qel_pid=$(wine_process_of "Z:${bench//\//\\}\\qel.exe") || qel_pid=""
  server_pid=$(wineserver_process) || server_pid=""
  if [ -n "$qel_pid" ]; then
    t0=$(date +%s%N)
    q0=$(cpu_ticks "$qel_pid") || q0=""
    if [ -n "$server_pid" ]; then s0=$(cpu_ticks "$server_pid"); fi
    if [ -n "${QEL_XVFB_PID:-}" ]; then x0=$(cpu_ticks "$QEL_XVFB_PID"); fi
    sleep "$idle_seconds"
    q1=$(cpu_ticks "$qel_pid") || q1=""
    if [ -n "$server_pid" ]; then s1=$(cpu_ticks "$server_pid") || server_pid=""; fi
    if [ -n "${QEL_XVFB_PID:-}" ]; then x1=$(cpu_ticks "$QEL_XVFB_PID") || x1=$x0; fi
    t1=$(date +%s%N)
  fi
  exec {ctl}>&-   # timewindow.exe closes the window
  wait "$holder" || code=$?
  rm -f "$fifo" "$out"
  if [ -z "$qel_pid" ] || [ -z "$q0" ] || [ -z "$q1" ]; then
    bench_error "qel.exe's Unix process not found"
    report_line idle "NOT MEASURED"
    return
  fi
  if [ "$code" -ne 0 ]; then bench_error "timewindow.exe --hold qel.exe exited $code"; fi
  qel_pct=$(percent_of_core $((q1 - q0)) $((t1 - t0)))
  server_pct=$(percent_of_core $((s1 - s0)) $((t1 - t0)))
  xvfb_pct=$(percent_of_core $((x1 - x0)) $((t1 - t0)))
  [ -n "$server_pid" ] || server_pct="?"
  [ -n "${QEL_XVFB_PID:-}" ] || xvfb_pct="?"
  verdict=$(aim_verdict "$qel_pct <= 0.5")
  if [ "$code" -ne 0 ]; then verdict="$verdict (but it did not close: timewindow.exe exited $code)"; fi
  report_line idle "qel.exe window polling for $idle_seconds s = $qel_pct % of one core" \
    "(besides: wineserver $server_pct %, Xvfb $xvfb_pct %); aim <= 0.5 % (qel.exe): $verdict"
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
  out=$(bash "$root/tests/e2e/check_imports.sh" "$objdump" "$build/qel.exe") || code=$?
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
idle_seconds=${QEL_BENCH_IDLE_SECONDS:-60}
if ! [[ $idle_seconds =~ ^[0-9]+$ ]] || [ "$idle_seconds" -lt 1 ]; then
  echo "bench.sh: QEL_BENCH_IDLE_SECONDS must be a positive whole number, not '$idle_seconds'" >&2
  exit 2
fi

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" win32 >&2

programs=("$build/qel.exe" "$build/simswitch/socket.dll" "$build/tools/noop.exe"
          "$build/tools/minwindow.exe" "$build/tools/timewindow.exe")
for f in "${programs[@]}"; do
  if [ ! -f "$f" ]; then
    echo "bench.sh: the build made no ${f#"$root"/}" >&2
    exit 1
  fi
done

mkdir -p "$bench"
cp "${programs[@]}" "$bench/"
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
