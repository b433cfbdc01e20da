# shellcheck shell=bash
# The emulator route of scripts/wine-session, sourced by it (with $build,
# $here, fail) on a kernel that runs no 32-bit programs.
#
# The prefix is a WoW64 one (WINEARCH=win64): Wine's 64-bit half
# (wineserver, wineboot, services) runs natively, and every 32-bit program,
# qel.exe among them, runs in Wine's 32-bit loader under qemu-i386
# (build/emulator/qemu-i386, fetched by scripts/setup.sh).
#
# Wine starts every new process with a loader from the folder of the loader
# that runs (the folder of its /proc/self/exe, under the name it was started
# by, or that name's other width: wine, wine64). So BUILD_DIR/wine-loader
# mirrors Wine's folders: lib/wine/wine64 and lib/wine/wine.i386 are copies
# of the 64-bit and the 32-bit loader (copies, not links, so that Wine takes
# lib/wine as its folder; the emulator reports the program it runs as the
# 32-bit process's /proc/self/exe), lib/wine/wine is a script that runs
# wine.i386 under the emulator, naming itself as the loader (-0), and links
# lead to Wine's libraries and data. "wine" on PATH is that script: every
# 32-bit program, and every one started from there (by a test driver, or a
# CMD line of qel's), comes back through it instead of asking the kernel to
# run 32-bit code. WINELOADERNOEXEC keeps the 32-bit loader from
# re-executing itself through the preloader, which the emulator cannot start.

qemu="$(cd "$here/.." && pwd)/build/emulator/qemu-i386"
[ -x "$qemu" ] ||
  fail "this kernel runs no 32-bit programs and $qemu is missing; scripts/setup.sh fetches it"
[ -x /usr/lib/wine/wine64 ] && [ -x /usr/lib/wine/wine ] ||
  fail "the 32-bit and the 64-bit Wine (wine32:i386, wine64) are both needed; scripts/setup.sh installs them"

loader="$build/wine-loader"
rm -rf "$loader"
mkdir -p "$loader/lib/wine" "$loader/lib/x86_64-linux-gnu" "$loader/lib/i386-linux-gnu" "$loader/share" &&
  cp /usr/lib/wine/wine64 "$loader/lib/wine/wine64" &&
  cp /usr/lib/wine/wine "$loader/lib/wine/wine.i386" &&
  ln -s /usr/lib/x86_64-linux-gnu/wine "$loader/lib/x86_64-linux-gnu/wine" &&
  ln -s /usr/lib/i386-linux-gnu/wine "$loader/lib/i386-linux-gnu/wine" &&
  ln -s /usr/share/wine "$loader/share/wine" &&
  ln -s /usr/lib/wine/wineserver64 "$loader/lib/wine/wineserver" &&
  ln -s wine "$loader/lib/wine/wine-stable" ||  # what Wine's own scripts call by name
  fail "cannot make the emulated loader in $loader"
cat >"$loader/lib/wine/wine" <<EOF || fail "cannot write $loader/lib/wine/wine"
#!/bin/sh
# The 32-bit Wine loader under the user-mode emulator (scripts/wine-qemu.sh).
# The 64-bit loader, the same Wine, answers --version and --help: the 32-bit
# one answers them only when it may re-execute itself.
case "\$1" in --version|--help) exec "$loader/lib/wine/wine64" "\$@" ;; esac
WINELOADERNOEXEC=1 exec "$qemu" -0 "\$0" "$loader/lib/wine/wine.i386" "\$@"
EOF
chmod +x "$loader/lib/wine/wine" || fail "cannot make $loader/lib/wine/wine executable"

export WINEARCH=win64
export WINELOADER="$loader/lib/wine/wine64"
tool="$WINELOADER"
export PATH="$loader/lib/wine:$PATH"
