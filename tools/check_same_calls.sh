#!/usr/bin/env bash
# The script benchmark's baseline makes the switch library calls that qel
# makes: for each row below, qel.exe and baseline_script.exe each run in a
# folder of their own, beside the simulated switch and tools/sample-ip.ini
# (masks 1, 4, 32 and 128), from the same word; the switch's journals and
# the words they leave must be the same.
#
#   check_same_calls.sh EMULATOR qel.exe baseline_script.exe socket.dll ip.ini
set -u
if [ $# -ne 5 ]; then
  echo "usage: check_same_calls.sh EMULATOR qel.exe baseline_script.exe socket.dll ip.ini" >&2
  exit 2
fi
emulator=$1 dll=$4 ini=$5
declare -A exe=([qel]=$2 [baseline_script]=$3)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset QELSIM_STATE QELSIM_FAULT
failed=0
# outlet, state, the word before: on and off, and the high byte that
# switching off clears.
while read -r outlet state word; do
  for program in qel baseline_script; do
    dir="$work/$program"
    rm -rf "$dir" && mkdir -p "$dir" &&
      cp "${exe[$program]}" "$dir/$program.exe" && cp "$dll" "$dir/socket.dll" && cp "$ini" "$dir/ip.ini" || exit 1
    printf '192.168.1.10=%s\n' "$word" >"$dir/socket-sim.state"
    (cd "$dir" && QELSIM_JOURNAL="Z:$dir/journal" "$emulator" "./$program.exe" "$outlet" "$state")
    code=$?
    if [ "$code" -ne 0 ]; then
      echo "FAILED: $program.exe $outlet $state exited $code"
      failed=1
    fi
  done
  # Each journal line ends in the calling thread's id, another in each
  # process: compared without it.
  for program in qel baseline_script; do
    [ -f "$work/$program/journal" ] && sed -i 's/ \[thread [0-9]*\]$//' "$work/$program/journal"
  done
  if [ ! -s "$work/qel/journal" ] ||
     ! diff "$work/qel/journal" "$work/baseline_script/journal" ||
     ! diff "$work/qel/socket-sim.state" "$work/baseline_script/socket-sim.state"; then
    echo "FAILED: outlet $outlet state $state from word $word: the calls or the words differ (qel <, baseline >)"
    failed=1
  else
    echo "same: outlet $outlet state $state from word $word: $(tr '\n' ';' <"$work/qel/journal")"
  fi
done <<'ROWS'
1 1 0
2 0 5
4 1 -32768
1 0 -1
ROWS
exit "$failed"
