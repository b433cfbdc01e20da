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
#
# Locale: qel runs as on the Japanese Windows it is made for, under the
# Japanese locale (ja-JP, ANSI code page 932, ip.ini in Shift-JIS): only
# there do the window's caption, the labels' tooltips and the message boxes
# find a font for their Japanese, which Wine's default English locale draws
# as empty boxes. QEL_WINE_LANG=C.UTF-8 runs qel under that English locale
# instead (en-US, code page 1252).
#
# QEL_SCREENSHOT=FILE.png scripts/run.sh   window mode on a private Xvfb:
#   once the window has shown and polled the switch, writes a PNG of it to
#   FILE.png and ends qel. (The README's pictures come from the GUI tests'
#   screenshots: scripts/docs-pictures.sh.)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
trap 'exit 130' INT TERM

bash "$root/scripts/setup.sh"
build="$root/build/win32"
run="$build/run"
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

screenshot="${QEL_SCREENSHOT:-}"
# The command line: the arguments joined by single blanks ($* does that;
# bash takes no IFS from the environment).
command_line="qel.exe"
if [ $# -gt 0 ]; then command_line="qel.exe $*"; fi
if [ $# -gt 0 ] && [ -n "$screenshot" ]; then
  echo "run.sh: QEL_SCREENSHOT is for window mode (no arguments)" >&2
  exit 2
elif [ $# -gt 0 ]; then
  export QEL_WINE_DISPLAY=xvfb
elif [ -n "$screenshot" ]; then
  # The screen of a private Xvfb, kept in a file to read the window from.
  QEL_XVFB_FBDIR=$(mktemp -d)
  export QEL_WINE_DISPLAY=xvfb QEL_XVFB_FBDIR
  screenshot=$(realpath -m "$screenshot")
elif [ -n "${DISPLAY:-}" ] && [ "${QEL_WINE_DISPLAY:-}" != xvfb ]; then
  export QEL_WINE_DISPLAY=host
else
  echo "run.sh: window mode on a private display (no DISPLAY of yours); Ctrl+C ends it" >&2
fi
export QEL_WINE_LANG="${QEL_WINE_LANG:-ja_JP.UTF-8}"
export QEL_RAW_COMMAND_LINE="$command_line"
cd "$run"
if [ -z "$screenshot" ]; then
  set +e
  "$root/scripts/wine-session" "$build" wine ./rawrun.exe
  code=$?
  set -e
  echo "qel exit code: $code"
  if [ $# -gt 0 ]; then "$show_state" "$run/socket-sim.state" "$run/ip.ini" || true; fi
  exit "$code"
fi

# In the session: qel starts, and once its window is there and a poll or two
# have coloured the labels, the PNG of it (as Wine draws it on the Xvfb,
# frame included) is written; the session's end then ends qel.
export screenshot
trap 'rm -rf "$QEL_XVFB_FBDIR"' EXIT
cat >"$QEL_XVFB_FBDIR/screenshot.sh" <<'EOF'
wine ./rawrun.exe &
for _ in $(seq 1 100); do
  # xwininfo names it by its caption: " qel設定": ("qel.exe" ...) WxH+x+y +X+Y
  geometry=$(xwininfo -root -tree | grep -F '("qel.exe"' | grep -F 'qel設定' |
             sed -nE 's/.* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/p' |
             head -n 1)
  if [ -n "$geometry" ]; then break; fi
  sleep 0.1
done
if [ -z "$geometry" ]; then
  echo "run.sh: qel's window did not show within 10 s; no screenshot" >&2
  exit 1
fi
read -r width height left top <<<"$geometry"
sleep 2
mkdir -p "$(dirname "$screenshot")"
xwdtopnm "$QEL_XVFB_FBDIR/Xvfb_screen0" 2>/dev/null |
  pamcut -left "$left" -top "$top" -width "$width" -height "$height" | pnmtopng >"$screenshot" ||
  { echo "run.sh: could not write $screenshot" >&2; exit 1; }
echo "run.sh: the window (${width}x${height}) written to $screenshot" >&2
EOF
"$root/scripts/wine-session" "$build" bash "$QEL_XVFB_FBDIR/screenshot.sh"
