#!/usr/bin/env bash
# qel's soak run: leaves the window polling for a long time and checks that
# its memory, handles and GDI/USER objects stay flat.
#
#   scripts/soak.sh [MINUTES]      (default 10)
#
# qel.exe runs in window mode (no arguments) in a folder of its own, beside
# copies of the simulated socket.dll and procstats.exe and an ip.ini with
# IP=192.168.1.10 and the masks 1, 4, 32 and 128, so the window reads the
# simulated switch every 500 ms. Meanwhile this script gives the switch a new
# status word every second (cycling through words that light and darken
# every label in turn), written as a whole: a temporary file, then mv.
#
# The run lasts MINUTES from the moment the window shows. The first 30 s are
# warm-up (fonts, the first paints of each colour, Wine's caches); then every
# 30 s it samples
#   RSS, VmSize  of the Unix process that runs qel.exe (the wine process
#                started here, or the descendant of it that runs qel.exe),
#                from /proc/<pid>/status
#   handles, GDI, USER   as Windows counts them for qel.exe, read with
#                tools/procstats.exe: GetProcessHandleCount and
#                GetGuiResources(GR_GDIOBJECTS / GR_USEROBJECTS)
#   handles*, GDI*, windows*   the same counted another way, for Wine 8,
#                which gives no figure for the three above (0, and "not
#                implemented"): qel's entries in the system handle list, its
#                own objects in Wine's GDI handle table, and its windows (the
#                bulk of its USER objects)
# and prints a table of the samples, the change of each figure from the
# first sample to the last, how often qel read the switch (from the
# simulated switch's journal) and a verdict.
#
# Verdict "flat" when, from the first sample to the last,
#   - RSS grew by at most 1024 KiB. Wine's heaps and the X11 and font caches
#     grow in steps of pages to a few hundred KiB when some path is taken for
#     the first time late, so a few KiB of noise are normal; a leak in the
#     poll (two a second: 1,140 polls after the warm-up of a 10-minute run)
#     of 1 KiB or more per poll passes 1 MiB.
#   - VmSize grew by at most 1024 KiB, for the same reasons (an allocation
#     that is never freed takes address space even when its pages are not
#     touched).
#   - handles, GDI and USER did not change at all; where a figure is n/a its
#     stand-in (handles*, GDI*, windows*) did not change at all. The window
#     needs no new object to show a word it showed before, so after the
#     warm-up any change is a leak (or a release of something the warm-up
#     took, which is worth a look too).
# and qel kept polling (at least half of the expected two reads a second)
# and was still running at the end.
#
# At the end qel is closed with WM_CLOSE (procstats.exe --close; killed by
# its PID if it does not end within 10 s) and Wine is stopped.
#
# Exit code: 0 flat, 1 something grew (or qel ended or stopped polling during
# the run), 2 the run could not be made (build, Wine, no window).
#
# Folders: QEL_SOAK_DIR (default build/win32/soak) holds the run folder
# (run/) and a Wine session and prefix of its own (wineprefix/, made on the
# first run), so a soak can run beside scripts/test.sh.
# QEL_SOAK_INTERVAL sets the seconds between samples (default 30), also the
# warm-up.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/win32"
soak=${QEL_SOAK_DIR:-$build/soak}
run="$soak/run"
trap 'exit 130' INT TERM

minutes=${1:-10}
if ! [[ $minutes =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
  echo "soak.sh: MINUTES must be a positive whole number, not '$minutes'" >&2
  exit 2
fi
interval=${QEL_SOAK_INTERVAL:-30}
if ! [[ $interval =~ ^[0-9]+$ ]] || [ "$interval" -lt 1 ]; then
  echo "soak.sh: QEL_SOAK_INTERVAL must be a positive whole number, not '$interval'" >&2
  exit 2
fi
duration=$((minutes * 60))
if [ "$duration" -lt $((2 * interval)) ]; then
  echo "soak.sh: $minutes min leave less than two samples $interval s apart" >&2
  exit 2
fi
tolerance_kib=1024

# Status words, one a second in turn: every label goes on and off several
# times a cycle (masks 1, 4, 32, 128).
words=(0 1 5 37 165 164 160 128 0 32 4 133 36 161 1 0)

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" win32 >&2

programs=("$build/qel.exe" "$build/simswitch/socket.dll" "$build/tools/procstats.exe")
for f in "${programs[@]}"; do
  if [ ! -f "$f" ]; then
    echo "soak.sh: the build made no ${f#"$root"/}" >&2
    exit 2
  fi
done

mkdir -p "$run"
rm -f "$run"/*
cp "${programs[@]}" "$run/"
printf '%s\r\n' '[Qelmark]' 'IP=192.168.1.10' 'SW1=1' 'SW2=4' 'SW3=32' 'SW4=128' \
  'CMD1=' 'CMD2=' 'CMD3=' >"$run/ip.ini"
state="$run/socket-sim.state"
journal="$run/socket-sim.journal"

wine_pid=""
qel_pid=""
# The EXIT trap. shellcheck does not follow traps:
# shellcheck disable=SC2317
stop_all() {
  # qel first (if it still runs), by the PID started here, then Wine.
  if [ -n "$wine_pid" ] && running "$wine_pid"; then
    if [ -n "$qel_pid" ]; then kill "$qel_pid" 2>/dev/null || true; fi
    kill "$wine_pid" 2>/dev/null || true
    wait "$wine_pid" 2>/dev/null || true
  fi
  wine_pid=""
  qel_wine_stop
}

export QEL_WINE_DISPLAY=xvfb
# shellcheck source=SCRIPTDIR/wine-env.sh
source "$root/scripts/wine-env.sh" "$soak" --no-trap || exit 2
trap stop_all EXIT
# The simulated switch: its state and journal in the run folder, no faults.
export QELSIM_STATE="Z:${state//\//\\}"
export QELSIM_JOURNAL="Z:${journal//\//\\}"
unset QELSIM_FAULT

now_ms() {
  local ns
  ns=$(date +%s%N)
  echo $((ns / 1000000))
}

sleep_until_ms() {
  local left=$(($1 - $(now_ms)))
  if [ "$left" -gt 0 ]; then sleep "$((left / 1000)).$(printf '%03d' $((left % 1000)))"; fi
}

# The switch's word, replaced as a whole.
set_word() {
  printf '192.168.1.10=%s\n' "$1" >"$state.soak-tmp"
  mv -f "$state.soak-tmp" "$state"
}

# The Unix process that runs qel.exe: $1 (the wine process started here) or
# one of its descendants, the first whose command starts with ...qel.exe.
unix_process_of_qel() {
  local -a queue=("$1")
  local pid cmd dir stat ppid
  while [ ${#queue[@]} -gt 0 ]; do
    pid=${queue[0]}
    queue=("${queue[@]:1}")
    cmd=$(tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline" | head -n 1) || cmd=""
    case "${cmd,,}" in *qel.exe) echo "$pid"; return 0 ;; esac
    for dir in /proc/[0-9]*; do
      stat=$(cat "$dir/stat" 2>/dev/null) || continue
      stat=${stat##*) }
      ppid=$(cut -d' ' -f2 <<<"$stat")
      if [ "$ppid" = "$pid" ]; then queue+=("${dir#/proc/}"); fi
    done
  done
  return 1
}

# procstats.exe's line for qel.exe, with a leading blank for field().
procstats_line() {
  local out
  out=$(cd "$run" && wine ./procstats.exe qel.exe 2>/dev/null </dev/null) || return 1
  out=${out%%$'\r'*}
  [[ $out == pid=* ]] || return 1
  echo " $out"
}

# field NAME LINE: the value of NAME=... in a procstats line.
field() {
  sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"
}

# Whether a process runs (a zombie, dead but not yet waited for, does not).
running() {
  local letter
  letter=$(awk '$1 == "State:" { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$letter" ] && [ "$letter" != Z ] && [ "$letter" != X ]
}

status_kib() {
  awk -v key="$1:" '$1 == key { print $2 }' "/proc/$2/status" 2>/dev/null
}

# ---------------------------------------------------------------- start

set_word 0
: >"$journal"
cd "$run"
wine ./qel.exe </dev/null >/dev/null 2>&1 &
wine_pid=$!
cd "$root"

# Until qel.exe has a window (60 s at most).
line=""
for ((i = 0; i < 120; i++)); do
  if ! running "$wine_pid"; then break; fi
  if line=$(procstats_line) && [ "$(field windows "$line")" -gt 0 ] 2>/dev/null; then break; fi
  line=""
  sleep 0.5
done
if [ -z "$line" ]; then
  echo "soak.sh: qel.exe showed no window within 60 s" >&2
  exit 2
fi
qel_pid=$(unix_process_of_qel "$wine_pid") || qel_pid=""
if [ -z "$qel_pid" ]; then
  echo "soak.sh: no process running qel.exe among wine (PID $wine_pid) and its descendants" >&2
  exit 2
fi

echo "qel soak: window mode for $minutes min against the simulated switch (a new word every 1 s)," \
  "$(wine --version 2>/dev/null || echo Wine), qel.exe in Unix process $qel_pid"

# ---------------------------------------------------------------- the run

# Figures of each sample, in the order of the columns; sample[<n>,<column>].
columns=(rss vmsize handles gdi user handles_listed gdi_table windows)
declare -A sample=()
samples=0
sample_times=()
first_line=""
ended=""

# One tick a second, counted from the start: a new word, and every
# $interval seconds (not at 0: warm-up) a sample.
start=$(now_ms)
tick=0
while :; do
  sleep_until_ms $((start + tick * 1000))
  set_word "${words[tick % ${#words[@]}]}"
  if ! running "$qel_pid"; then
    ended="qel.exe ended after $tick s"
    break
  fi
  if [ "$tick" -gt 0 ] && [ $((tick % interval)) -eq 0 ]; then
    sample[$samples,rss]=$(status_kib VmRSS "$qel_pid") || true
    sample[$samples,vmsize]=$(status_kib VmSize "$qel_pid") || true
    line=$(procstats_line) || line=""
    if [ -z "$first_line" ]; then first_line=$line; fi
    for c in handles gdi user handles_listed gdi_table windows; do
      sample[$samples,$c]=$(field "$c" "$line")
    done
    sample_times+=("$tick")
    samples=$((samples + 1))
  fi
  if [ "$tick" -ge "$duration" ]; then break; fi
  tick=$((tick + 1))
done
run_seconds=$(( ($(now_ms) - start) / 1000 ))
changes=$((tick + 1))

# ---------------------------------------------------------------- closing

code=0
if [ -n "$ended" ]; then
  wait "$wine_pid" || code=$?
  ended="$ended (exit code $code)"
elif out=$(cd "$run" && wine ./procstats.exe --close qel.exe 2>&1 </dev/null); then
  wait "$wine_pid" || code=$?
  closed="closed with WM_CLOSE, exit code $code"
else
  kill "$qel_pid" 2>/dev/null || true
  wait "$wine_pid" || true
  closed="did not end after WM_CLOSE (${out//$'\r'/}): killed by its PID"
fi
wine_pid=""

# ---------------------------------------------------------------- report

number() { [[ $1 =~ ^[0-9]+$ ]]; }

# A figure for the table: a number, or "n/a".
shown() {
  if number "$1"; then echo "$1"; else echo "n/a"; fi
}

clock() {
  printf '%d:%02d' $(($1 / 60)) $(($1 % 60))
}

join_by_comma() {
  local out="" item
  for item in "$@"; do out+="${out:+, }$item"; done
  echo "$out"
}

row_format='%6s %9s %11s %8s %6s %6s | %9s %6s %9s\n'
echo
# shellcheck disable=SC2059
printf "$row_format" time 'RSS KiB' 'VmSize KiB' handles GDI USER 'handles*' 'GDI*' 'windows*'
for ((n = 0; n < samples; n++)); do
  row=()
  for c in "${columns[@]}"; do row+=("$(shown "${sample[$n,$c]}")"); done
  # shellcheck disable=SC2059
  printf "$row_format" "$(clock "${sample_times[n]}")" "${row[@]}"
done

# The change of a column from the first sample to the last: "+N", "-N",
# "0", or "n/a" when either end is not a number.
declare -A change=()
last=$((samples - 1))
for c in "${columns[@]}"; do
  change[$c]="n/a"
  if [ "$samples" -ge 2 ]; then
    a=${sample[0,$c]}
    b=${sample[$last,$c]}
    if number "$a" && number "$b"; then
      d=$((b - a))
      if [ "$d" -gt 0 ]; then change[$c]="+$d"; else change[$c]="$d"; fi
    fi
  fi
done

echo
if [ "$samples" -ge 2 ]; then
  echo "change from $(clock "${sample_times[0]}") to $(clock "${sample_times[last]}"):" \
    "RSS ${change[rss]} KiB, VmSize ${change[vmsize]} KiB, handles ${change[handles]}," \
    "GDI ${change[gdi]}, USER ${change[user]}; handles* ${change[handles_listed]}," \
    "GDI* ${change[gdi_table]}, windows* ${change[windows]}"
fi
# Why a figure is n/a, as procstats.exe said it.
if [ -n "$first_line" ]; then
  for pair in "handles:GetProcessHandleCount" "gdi:GetGuiResources(GR_GDIOBJECTS)" \
              "user:GetGuiResources(GR_USEROBJECTS)"; do
    v=$(field "${pair%%:*}" "$first_line")
    if ! number "$v"; then
      echo "n/a: ${pair#*:} gives no figure here (procstats.exe: $v); judged by the stand-in (*)"
    fi
  done
fi

reads=$(grep -c '^receivep6' "$journal" 2>/dev/null) || reads=0
echo "polls: $reads status reads in $run_seconds s ($(awk -v r="$reads" -v s="$run_seconds" \
  'BEGIN { printf "%.2f", (s > 0 ? r / s : 0) }') a second, expected 2); the word changed $changes times"
if [ -n "$ended" ]; then echo "qel: $ended"; else echo "qel: $closed"; fi

# ---------------------------------------------------------------- verdict

grew=()
problems=()
if [ -n "$ended" ]; then problems+=("qel.exe ended during the run"); fi
if [ "$reads" -lt "$run_seconds" ]; then problems+=("qel read the switch only $reads times in $run_seconds s"); fi
if [ "$samples" -lt 2 ]; then problems+=("fewer than two samples"); fi
if [ "$samples" -ge 2 ]; then
  for pair in rss:RSS vmsize:VmSize; do
    c=${pair%%:*}
    if [ "${change[$c]}" = n/a ]; then
      problems+=("${pair#*:} not measured")
    elif [ "${change[$c]#+}" -gt "$tolerance_kib" ]; then
      grew+=("${pair#*:} ${change[$c]} KiB (more than $tolerance_kib)")
    fi
  done
  # Each count, or its stand-in where the system gives no figure for it.
  for triple in "handles handles_listed handles*" "gdi gdi_table GDI*" "user windows windows*"; do
    read -r c stand_in stand_in_label <<<"$triple"
    label=${c^^}
    if [ "$c" = handles ]; then label=handles; fi
    if ! number "${sample[0,$c]}"; then
      c=$stand_in
      label="$label (by $stand_in_label)"
    fi
    if [ "${change[$c]}" = n/a ]; then
      problems+=("$label not measured")
    elif [ "${change[$c]}" != 0 ]; then
      grew+=("$label ${change[$c]}")
    fi
  done
fi

if [ ${#grew[@]} -gt 0 ] || [ ${#problems[@]} -gt 0 ]; then
  verdict="NOT FLAT"
  if [ ${#grew[@]} -gt 0 ]; then verdict+=" - grew: $(join_by_comma "${grew[@]}")"; fi
  if [ ${#problems[@]} -gt 0 ]; then verdict+=" - $(join_by_comma "${problems[@]}")"; fi
  echo "verdict: $verdict"
  exit 1
fi
echo "verdict: flat (RSS and VmSize within $tolerance_kib KiB, handles, GDI and USER objects" \
  "unchanged after the $interval s warm-up)"
exit 0
