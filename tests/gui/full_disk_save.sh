#!/usr/bin/env bash
# Runs the window test FullDiskLeavesIpIniAsItWas with qel in a small tmpfs
# mounted for it (QEL_FULL_DISK_DIR), and unmounts it afterwards.
#   full_disk_save.sh EMULATOR window_tests.exe ARGUMENTS...
# Mounting needs root, as these machines and CI have it. Where the mount is
# refused the test cannot run: this says so and exits 77, which CTest shows
# as skipped, never as passed.
set -u
mountpoint=$(mktemp -d /tmp/qel-full-disk.XXXXXX) || exit 1
if ! why=$(mount -t tmpfs -o size=2m,mode=0755 qel-full-disk "$mountpoint" 2>&1); then
  echo "full_disk_save.sh: cannot mount a tmpfs at $mountpoint (${why:-no reason given}):" \
       "the full-disk save test did not run" >&2
  rmdir "$mountpoint"
  exit 77
fi
unmount() {
  umount "$mountpoint" 2>/dev/null || umount -l "$mountpoint"
  rmdir "$mountpoint"
}
trap unmount EXIT
QEL_FULL_DISK_DIR="$mountpoint" "$@" --gtest_filter='*FullDisk*'
