#!/usr/bin/env bash
# Installs what building and testing qel needs on Debian 12, when missing:
# the mingw-w64 cross compiler, 32-bit Wine (on a kernel without 32-bit
# programs also the 64-bit Wine and the emulator qemu-i386 10, see below), a
# virtual X display (Xvfb, xvfb-run), CMake, GoogleTest, clang for fuzzing,
# a Japanese Gothic font, Python (for the benchmark and the soak run, with
# psutil, and for packing the release zips) and unzip (for checking them).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
  cmake make ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 xvfb xauth x11-utils
  fonts-ipafont-gothic fontconfig
  netpbm
  locales
  python3 python3-psutil unzip
)
# A kernel that runs no 32-bit programs: Wine's 64-bit half too (see below).
run32_mode=$(bash "$here/run32-mode.sh")
if [ "$run32_mode" = qemu ]; then packages+=(wine64); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "qel setup: installing ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# UTF-8 locales for Wine: Japanese, so a program runs with ANSI code page
# 932; Hindi, whose Windows locale has no ANSI code page of its own, so that
# Wine gives a program UTF-8 (65001) as its ANSI code page.
have_locale() {
  local all
  all=$(locale -a 2>/dev/null || true)
  grep -qix "$1\\.utf-\\?8" <<<"$all"
}
for wanted in ja_JP hi_IN; do
  if ! have_locale "$wanted"; then
    echo "qel setup: generating the $wanted.UTF-8 locale" >&2
    # localedef exits 1 on mere warnings; what counts is that the locale exists.
    $SUDO localedef -i "$wanted" -f UTF-8 "$wanted.UTF-8" || true
    if ! have_locale "$wanted"; then
      echo "qel setup: could not generate the $wanted.UTF-8 locale" >&2
      exit 1
    fi
  fi
done

# A kernel that runs no 32-bit programs (scripts/run32-mode.sh): the 32-bit
# half of Wine runs under qemu-i386 10, the 64-bit half natively. Debian 12's
# own qemu-user (7.2) spends most of a minute starting each Wine process, so
# the emulator comes from Debian's bookworm-backports suite. It is fetched
# with an apt state of its own in build/emulator/ (nothing is added to the
# host's sources or installed), and only its qemu-i386, a static program, is
# kept: build/emulator/qemu-i386.
if [ "$run32_mode" = qemu ]; then
  bash "$here/fetch-emulator.sh"
fi
