# Headless Wine for qel's Windows build. Source it, don't run it:
#
#   source scripts/wine-env.sh BUILD_DIR [--no-trap]
#
# It exports WINEPREFIX=BUILD_DIR/wineprefix, WINEARCH=win32 (win64 where
# the kernel runs no 32-bit programs: see qel_wine_emulated_loader below),
# WINEDEBUG=-all
# and WINEDLLOVERRIDES="mscoree,mshtml=", creates that prefix without any
# dialog when it is missing (with the settings below), starts a private Xvfb
# display (DISPLAY is exported) and a persistent wineserver, so that many
# short wine runs stay fast.
#
# qel_wine_stop ends both again (wineserver -k, then the Xvfb by its PID).
# Unless --no-trap is given it is installed as an EXIT trap of the sourcing
# shell, so it runs on failure too. A script with an EXIT trap of its own
# passes --no-trap and calls qel_wine_stop from that trap.
#
# One session at a time uses a prefix: BUILD_DIR/.wine-session holds the PID
# of the shell that sourced this; another one fails with a clear message
# while that shell lives, and takes over (wineserver -k first) once it died.
#
# QEL_WINE_DISPLAY=host uses the caller's DISPLAY instead of a private Xvfb
# (only when DISPLAY is set), e.g. to see qel's window on a real desktop.
# QEL_XVFB_FBDIR=DIR keeps the private Xvfb's screen in DIR/Xvfb_screen0 (an
# XWD image), so that it can be read for a screenshot.
# On Xvfb the windows are not handed to an X window manager (there is none,
# and Wine would wait 2 s for one whenever a top-level window is hidden);
# Wine draws their frames itself, as Windows does.
#
# Prefix settings: "ＭＳ ゴシック" and "MS Gothic" are replaced by IPA Gothic;
# a crash ends the program at once (no winedbg dialog); no winemenubuilder.
#
# Locale: a wine run takes its locale from LANG/LC_ALL of that run, e.g.
#   LC_ALL=ja_JP.UTF-8 wine prog.exe   ->  ja-JP, ANSI code page 932
#   wine prog.exe                      ->  the locale set here (LANG=C.UTF-8:
#                                          en-US, code page 1252, '.')
# Both work one after the other against the same prefix and wineserver. A
# run under another locale than the last one rewrites the prefix's
# HKCU\Control Panel\International for its locale, which also drops values
# set there by hand (e.g. sDecimal). QEL_WINE_LANG=ja_JP.UTF-8 before sourcing
# makes the first form the default of the whole session.

QEL_SCRIPTS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

qel_wine_fail() {
  echo "wine-env: $*" >&2
  return 1
}

# Bump when the prefix should be made anew (what qel_wine_make_prefix does).
# The prefix is made anew, too, when the way 32-bit programs run changes.
QEL_WINE_PREFIX_VERSION=1

qel_wine_env_main() {
  local builddir="" trap_exit=1 arg
  for arg in "$@"; do
    case "$arg" in
      --no-trap) trap_exit=0 ;;
      -*) qel_wine_fail "unknown option $arg"; return 1 ;;
      *) builddir="$arg" ;;
    esac
  done
  if [ -z "$builddir" ]; then
    qel_wine_fail "usage: source scripts/wine-env.sh BUILD_DIR [--no-trap]"
    return 1
  fi
  mkdir -p "$builddir" || return 1
  builddir=$(cd "$builddir" && pwd) || return 1
  # Sourced again in the same shell: end the earlier session first.
  if [ -n "${QEL_WINE_SESSION_DIR:-}" ]; then qel_wine_stop; fi

  export WINEPREFIX="$builddir/wineprefix"
  QEL_RUN32_MODE=$(bash "$QEL_SCRIPTS_DIR/run32-mode.sh") || return 1
  # What this script runs of Wine itself (wineboot, reg, cmd): the loader
  # that runs at the kernel's own speed.
  QEL_WINE_TOOL=wine
  export WINEARCH=win32
  if [ "$QEL_RUN32_MODE" = qemu ]; then
    qel_wine_emulated_loader "$builddir" || return 1
  fi
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine takes its locale from LANG/LC_* of each run. C.UTF-8 (always there)
  # gives en-US, ANSI code page 1252, and lets non-ASCII command line text
  # through intact; any LC_* from the caller would override it.
  # QEL_WINE_LANG=ja_JP.UTF-8 makes every run of this session Japanese.
  export LANG="${QEL_WINE_LANG:-C.UTF-8}"
  unset LC_ALL LC_CTYPE LC_MESSAGES LC_NUMERIC LC_TIME LC_COLLATE LC_MONETARY

  qel_wine_claim_session "$builddir/.wine-session" || return 1
  if [ "$trap_exit" = 1 ]; then
    trap qel_wine_stop EXIT
  fi

  qel_wine_start_display || return 1
  qel_wine_make_prefix || return 1
  # A persistent server: it stays up between the short runs until -k.
  wineserver -p </dev/null >/dev/null 2>&1 ||
    { qel_wine_fail "wineserver -p failed"; return 1; }
  # The first run starts Wine's background processes (services, explorer,
  # ...), which keep its stderr open until wineserver -k: start them here with
  # /dev/null, not inside a test whose output CTest reads from a pipe. That
  # run also sets whether an X window manager handles the windows.
  local x11='HKCU\Software\Wine\X11 Driver'
  if [ -n "${QEL_XVFB_PID:-}" ]; then
    "$QEL_WINE_TOOL" reg add "$x11" /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  else
    "$QEL_WINE_TOOL" reg delete "$x11" /v Managed /f </dev/null >/dev/null 2>&1
    "$QEL_WINE_TOOL" cmd /c exit 0 </dev/null >/dev/null 2>&1
  fi || { qel_wine_fail "a first wine run in $WINEPREFIX failed"; return 1; }
}

# A kernel that runs no 32-bit programs: a WoW64 prefix (WINEARCH=win64)
# whose 64-bit half (wineserver, wineboot, services) runs natively, while
# every 32-bit program, qel.exe among them, runs in Wine's 32-bit loader
# under qemu-i386 (build/emulator/qemu-i386, fetched by scripts/setup.sh).
# Wine starts every new process with a loader from the folder of the loader
# that runs (the folder of its /proc/self/exe, under the name it was started
# by, or that name's other width: wine, wine64), so BUILD_DIR/wine-loader
# mirrors Wine's folders: lib/wine/wine64 and lib/wine/wine.i386 are copies
# of the 64-bit and the 32-bit loader (copies, not links, so that Wine takes
# lib/wine as its folder; the emulator reports the program it runs as the
# 32-bit process's /proc/self/exe), lib/wine/wine is a script that runs
# wine.i386 under the emulator, naming itself as the loader (-0), and links
# lead to Wine's libraries and data. "wine" on PATH is that script: "wine
# qel.exe" runs the 32-bit qel as it ships, and every 32-bit program started
# from there (by a test driver, or a CMD line of qel's) comes back through it
# instead of asking the kernel to run 32-bit code. WINELOADERNOEXEC keeps the
# 32-bit loader from re-executing itself through the preloader, which the
# emulator cannot start.
qel_wine_emulated_loader() {
  local builddir="$1" qemu loader
  qemu="$(cd "$QEL_SCRIPTS_DIR/.." && pwd)/build/emulator/qemu-i386"
  if [ ! -x "$qemu" ]; then
    qel_wine_fail "this kernel runs no 32-bit programs and $qemu is missing; scripts/setup.sh fetches it"
    return 1
  fi
  if [ ! -x /usr/lib/wine/wine64 ] || [ ! -x /usr/lib/wine/wine ]; then
    qel_wine_fail "the 32-bit and the 64-bit Wine (wine32:i386, wine64) are both needed; scripts/setup.sh installs them"
    return 1
  fi
  loader="$builddir/wine-loader"
  rm -rf "$loader"
  mkdir -p "$loader/lib/wine" "$loader/lib/x86_64-linux-gnu" "$loader/lib/i386-linux-gnu" "$loader/share" || return 1
  cp /usr/lib/wine/wine64 "$loader/lib/wine/wine64" || return 1
  ln -s /usr/lib/x86_64-linux-gnu/wine "$loader/lib/x86_64-linux-gnu/wine" || return 1
  ln -s /usr/lib/i386-linux-gnu/wine "$loader/lib/i386-linux-gnu/wine" || return 1
  ln -s /usr/share/wine "$loader/share/wine" || return 1
  ln -s /usr/lib/wine/wineserver64 "$loader/lib/wine/wineserver" || return 1
  cp /usr/lib/wine/wine "$loader/lib/wine/wine.i386" || return 1
  # The loader answers --version and --help only when it is not told to run
  # without re-executing, so the 64-bit one (the same Wine) answers them.
  printf '#!/bin/sh\n# The 32-bit Wine loader under the user-mode emulator (scripts/wine-env.sh).\ncase "$1" in --version|--help) exec "%s" "$@" ;; esac\nWINELOADERNOEXEC=1 exec "%s" -0 "$0" "%s" "$@"\n' \
    "$loader/lib/wine/wine64" "$qemu" "$loader/lib/wine/wine.i386" >"$loader/lib/wine/wine" &&
    chmod +x "$loader/lib/wine/wine" || return 1
  # What Wine's own scripts (wineboot, winepath, ...) call by name.
  ln -s wine "$loader/lib/wine/wine-stable" || return 1
  export WINEARCH=win64
  export WINELOADER="$loader/lib/wine/wine64"
  QEL_WINE_TOOL="$loader/lib/wine/wine64"
  case ":$PATH:" in
    *":$loader/lib/wine:"*) ;;
    *) export PATH="$loader/lib/wine:$PATH" ;;
  esac
}

# One session per prefix; a session whose shell died is taken over.
qel_wine_claim_session() {
  local dir="$1" owner
  while ! mkdir "$dir" 2>/dev/null; do
    owner=$(cat "$dir/pid" 2>/dev/null || true)
    if [ -n "$owner" ] && [ "$owner" != "$$" ] && kill -0 "$owner" 2>/dev/null; then
      qel_wine_fail "$WINEPREFIX is in use by the session of PID $owner" \
        "(scripts/test.sh or scripts/run.sh); wait until it ends, or remove" \
        "$dir if that process is no such session"
      return 1
    fi
    if [ -z "$owner" ] && [ -n "$(find "$dir" -maxdepth 0 -newermt '5 seconds ago')" ]; then
      sleep 0.2   # being claimed right now
      continue
    fi
    # Left over by a session that died: end its wineserver and its Xvfb
    # (by the PID it noted, if that is still an Xvfb of ours), take over.
    if [ -f "$WINEPREFIX/system.reg" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    owner=$(cat "$dir/xvfb" 2>/dev/null || true)
    if [ -n "$owner" ] &&
       tr '\0' ' ' <"/proc/$owner/cmdline" 2>/dev/null | grep -q '^Xvfb -displayfd'; then
      kill "$owner" 2>/dev/null || true
    fi
    rm -rf "$dir"
  done
  echo "$$" >"$dir/pid"
  QEL_WINE_SESSION_DIR="$dir"
}

# Private Xvfb on a free display number, which it reports through -displayfd.
qel_wine_start_display() {
  QEL_XVFB_PID=""
  if [ "${QEL_WINE_DISPLAY:-}" = host ] && [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local numfile num=""
  numfile=$(mktemp) || return 1
  # QEL_XVFB_FBDIR: the screen is also kept there as an XWD file
  # (Xvfb_screen0), for screenshots (scripts/run.sh).
  local fbdir=()
  if [ -n "${QEL_XVFB_FBDIR:-}" ]; then fbdir=(-fbdir "$QEL_XVFB_FBDIR"); fi
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 ${fbdir[@]+"${fbdir[@]}"} \
    3>"$numfile" </dev/null >/dev/null 2>&1 &
  QEL_XVFB_PID=$!
  # Not a job of the caller: a bare `wait` there must not wait for Xvfb.
  disown "$QEL_XVFB_PID" 2>/dev/null || true
  for _ in $(seq 1 200); do
    num=$(tr -dc 0-9 <"$numfile")
    if [ -n "$num" ]; then break; fi
    if ! kill -0 "$QEL_XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.05
  done
  rm -f "$numfile"
  if [ -z "$num" ]; then
    kill "$QEL_XVFB_PID" 2>/dev/null
    QEL_XVFB_PID=""
    qel_wine_fail "Xvfb did not start"
    return 1
  fi
  export DISPLAY=":$num"
  echo "$QEL_XVFB_PID" >"$QEL_WINE_SESSION_DIR/xvfb"
}

# The prefix, once: wineboot without dialogs, then our settings.
qel_wine_make_prefix() {
  local stamp="$WINEPREFIX/.qel-prefix-ready"
  if [ "$(cat "$stamp" 2>/dev/null)" = "$QEL_WINE_PREFIX_VERSION-$QEL_RUN32_MODE" ]; then
    return 0
  fi
  if [ -f "$WINEPREFIX/system.reg" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$WINEPREFIX"
  echo "wine-env: creating $WINEPREFIX" >&2
  # Without winemenubuilder: no menu entries or file types in the user's home.
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d" \
    "$QEL_WINE_TOOL" wineboot -i </dev/null >/dev/null 2>&1 ||
    { qel_wine_fail "wineboot -i failed"; return 1; }
  wineserver -w
  qel_wine_reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f || return 1
  # A crash ends the program at once (exit code = low byte of the exception
  # code, 5 for an access violation) instead of opening winedbg's dialog,
  # which nobody could close on Xvfb.
  qel_wine_reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || return 1
  qel_wine_map_fonts || return 1
  wineserver -w
  echo "$QEL_WINE_PREFIX_VERSION-$QEL_RUN32_MODE" >"$stamp"
}

qel_wine_reg() {
  "$QEL_WINE_TOOL" reg "$@" </dev/null >/dev/null 2>&1 || { qel_wine_fail "wine reg $* failed"; return 1; }
}

# "ＭＳ ゴシック" (full-width letters) and "MS Gothic" are drawn with the
# installed IPA Gothic. The names reach reg.exe as UTF-8 command line text.
# reg query prints through the console code page (437 here: "MS ????"), so
# the check reads the key back with reg export (UTF-16LE) instead.
qel_wine_map_fonts() {
  local key='HKCU\Software\Wine\Fonts\Replacements' name exported
  for name in 'ＭＳ ゴシック' 'MS Gothic'; do
    qel_wine_reg add "$key" /v "$name" /t REG_SZ /d IPAGothic /f || return 1
  done
  qel_wine_reg export "$key" 'C:\qel-fonts.reg' /y || return 1
  exported=$(iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/qel-fonts.reg" | tr -d '\r')
  rm -f "$WINEPREFIX/drive_c/qel-fonts.reg"
  for name in 'ＭＳ ゴシック' 'MS Gothic'; do
    if ! grep -qxF "\"$name\"=\"IPAGothic\"" <<<"$exported"; then
      qel_wine_fail "font replacement '$name' did not read back"
      return 1
    fi
  done
}

# Ends the wineserver of this prefix and the Xvfb started here, and gives up
# the session; nothing of a session that this shell did not claim. Safe to
# call more than once.
qel_wine_stop() {
  if [ -n "${QEL_WINE_SESSION_DIR:-}" ]; then
    if [ -f "$WINEPREFIX/system.reg" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  fi
  if [ -n "${QEL_XVFB_PID:-}" ]; then
    kill "$QEL_XVFB_PID" 2>/dev/null || true
    wait "$QEL_XVFB_PID" 2>/dev/null || true
    QEL_XVFB_PID=""
  fi
  if [ -n "${QEL_WINE_SESSION_DIR:-}" ]; then
    rm -rf "$QEL_WINE_SESSION_DIR"
    QEL_WINE_SESSION_DIR=""
  fi
}

qel_wine_env_main "$@"
