#!/usr/bin/env bash
# Runs the window tests whose folder needs a file system of its own, each a
# small tmpfs mounted here and unmounted afterwards:
#   FullDiskLeavesIpIniAsItWasOrSavedWhole
#                                   QEL_FULL_DISK_DIR, empty; the test
#                                   copies qel there and fills the disk
#   ReadOnlyFolderKeepsIpIni        QEL_READ_ONLY_DIR, holding qel.exe,
#                                   socket.dll and ip.ini, mounted read-only
#
#   save_on_own_disks.sh EMULATOR window_tests.exe qel.exe socket.dll ARGS...
# (the window tests' own arguments after EMULATOR and the program).
# Mounting needs root, as these machines and CI have it. Where a mount is
# refused the tests cannot run: this says so and exits 77, which CTest shows
# as skipped, never as passed.
set -u
if [ $# -lt 4 ]; then
  echo "usage: save_on_own_disks.sh EMULATOR window_tests.exe qel.exe socket.dll ARGS..." >&2
  exit 2
fi
qel_exe="$3" socket_dll="$4"
mounted=()
unmount() {
  local dir
  for dir in ${mounted[@]+"${mounted[@]}"}; do
    umount "$dir" 2>/dev/null || umount -l "$dir"
    rmdir "$dir"
  done
}
trap unmount EXIT

# A tmpfs of `size` at a new folder, whose path goes to stdout.
mount_tmpfs() {
  local dir why
  dir=$(mktemp -d "/tmp/qel-$1.XXXXXX") || return 1
  if ! why=$(mount -t tmpfs -o "size=$2,mode=0755" "qel-$1" "$dir" 2>&1); then
    echo "save_on_own_disks.sh: cannot mount a tmpfs at $dir (${why:-no reason given}):" \
         "the tests of saving on a full disk and in a read-only folder did not run" >&2
    rmdir "$dir"
    return 1
  fi
  echo "$dir"
}

full=$(mount_tmpfs full-disk 2m) || exit 77
mounted+=("$full")
readonly_dir=$(mount_tmpfs read-only 4m) || exit 77
mounted+=("$readonly_dir")
cp "$qel_exe" "$readonly_dir/qel.exe" && cp "$socket_dll" "$readonly_dir/socket.dll" || exit 1
printf '[Qelmark]\r\nIP=192.168.1.0\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=\r\nCMD2=\r\nCMD3=\r\n' \
  >"$readonly_dir/ip.ini"
if ! why=$(mount -o remount,ro "$readonly_dir" 2>&1); then
  echo "save_on_own_disks.sh: cannot make $readonly_dir read-only ($why): the tests did not run" >&2
  exit 77
fi

QEL_FULL_DISK_DIR="$full" QEL_READ_ONLY_DIR="$readonly_dir" "$@" \
  --gtest_filter='*FullDisk*:*ReadOnlyFolder*'
