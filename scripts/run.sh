#!/usr/bin/env bash
# qel's run command: builds the Windows program and runs it under Wine.
#
#   scripts/run.sh                 window mode
#   scripts/run.sh TOKEN...        script mode: qel gets "qel.exe TOKEN..."
#
# The command line qel sees is exactly "qel.exe" followed by the arguments
# joined with single spaces, no quotes added: scripts/run.sh "a  b" "" gives
# "qel.exe a  b " (two blanks inside, one at the end). It is handed over
# unchanged through rawrun.exe, which starts qel with CreateProcessW.
#
# qel runs in build/win32/run/, next to copies of qel.exe and the simulated
# socket.dll, and an ip.ini copied there from tools/sample-ip.ini when it is
# missing (edit it freely; the simulated outlets keep their state in
# socket-sim.state there). After a run the exit code and, in script mode,
# the outlets' states are shown (by build/native/tools/show_state, built
# here too); the exit code is also this script's.
#
# Display: script mode always runs on a private Xvfb. Window mode uses your
# DISPLAY when one is set (QEL_WINE_DISPLAY=xvfb forces Xvfb), else Xvfb.
# QEL_WINE_LANG=ja_JP.UTF-8 runs qel under a Japanese locale (code page 932).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/win32"
run="$build/run"
trap 'exit 130' INT TERM

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" win32
show_state="$root/build/native/tools/show_state"
bash "$root/scripts/build.sh" native -- --target show_state

for f in "$build/qel.exe" "$build/simswitch/socket.dll" "$build/tools/rawrun.exe" "$show_state"; do
  if [ ! -f "$f" ]; then
    echo "run.sh: the build made no ${f#"$root"/}" >&2
    exit 1
  fi
done

mkdir -p "$run"
cp "$build/qel.exe" "$build/simswitch/socket.dll" "$run/"
# rawrun.exe sits beside qel.exe too: CreateProcessW looks for "qel.exe" in
# the launcher's own folder first.
cp "$build/tools/rawrun.exe" "$run/"
if [ ! -f "$run/ip.ini" ]; then
  cp "$root/tools/sample-ip.ini" "$run/ip.ini"
fi

if [ $# -eq 0 ]; then
  mode=window
  command_line="qel.exe"
  if [ -n "${DISPLAY:-}" ] && [ "${QEL_WINE_DISPLAY:-}" != xvfb ]; then
    export QEL_WINE_DISPLAY=host
  fi
else
  mode=script
  saved_ifs="$IFS"; IFS=' '
  command_line="qel.exe $*"
  IFS="$saved_ifs"
  export QEL_WINE_DISPLAY=xvfb
fi

# shellcheck source=SCRIPTDIR/wine-env.sh
source "$root/scripts/wine-env.sh" "$build"
if [ "$mode" = window ] && [ -n "${QEL_XVFB_PID:-}" ]; then
  echo "run.sh: window mode on the private display $DISPLAY (no DISPLAY of yours);" \
       "Ctrl+C ends it" >&2
fi

export QEL_RAW_COMMAND_LINE="$command_line"
set +e
(cd "$run" && wine ./rawrun.exe)
code=$?
set -e

echo "qel exit code: $code"
if [ "$mode" = script ]; then
  "$show_state" "$run/socket-sim.state" "$run/ip.ini" || true
fi
exit "$code"
