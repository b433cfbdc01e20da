#!/usr/bin/env bash
# Fetches the user-mode emulator qemu-i386 (version 10 or later) from
# Debian's bookworm-backports suite to build/emulator/qemu-i386, for a kernel
# that runs no 32-bit programs (scripts/setup.sh calls it there). The suite
# is read from the mirror this machine's own Debian sources name, through an
# apt state of its own in build/emulator/apt: the host's sources, package
# lists and installed packages stay as they were. qemu-i386 of the package
# qemu-user is a static program, so nothing else is needed. Does nothing when
# a good one is already there.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dest="$root/build/emulator"
qemu="$dest/qemu-i386"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

qemu_major() {
  "$1" --version 2>/dev/null | sed -nE '1s/^qemu-i386 version ([0-9]+)\..*/\1/p'
}

if [ -x "$qemu" ] && [ "$(qemu_major "$qemu")" -ge 10 ] 2>/dev/null; then
  exit 0
fi

# The mirror of this machine's bookworm suite: deb822 sources first, then
# the one-line format.
mirror=$(awk '
  /^[[:space:]]*$/ { if (uris != "" && suites ~ /(^| )bookworm( |$)/) { print uris; exit } uris = ""; suites = "" }
  tolower($1) == "uris:"   { uris = $2 }
  tolower($1) == "suites:" { $1 = ""; suites = $0 " " }
  END { if (uris != "" && suites ~ /(^| )bookworm( |$)/) print uris }
' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
if [ -z "$mirror" ]; then
  mirror=$(sed -nE 's/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+bookworm[[:space:]].*/\2/p' \
             /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1)
fi
if [ -z "$mirror" ]; then
  echo "fetch-emulator: no Debian bookworm source in /etc/apt/sources.list{,.d/}" >&2
  exit 1
fi

echo "qel setup: fetching qemu-i386 10 from bookworm-backports ($mirror) to build/emulator/" >&2
state="$dest/apt"
rm -rf "$state"
mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/deb"
echo "deb [signed-by=$keyring] $mirror bookworm-backports main" >"$state/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$state/sources.list"
  -o "Dir::Etc::SourceParts=/dev/null"
  -o "Dir::State::Lists=$state/lists"
  -o "Dir::Cache=$state/cache"
  -o "APT::Sandbox::User=$(id -un)"
)
apt-get "${apt_options[@]}" update -qq
(cd "$state/deb" && apt-get "${apt_options[@]}" download -qq qemu-user)
deb=$(ls "$state/deb"/qemu-user_*.deb)
dpkg-deb -x "$deb" "$state/unpacked"
install -m 0755 "$state/unpacked/usr/bin/qemu-i386" "$qemu.new"
major=$(qemu_major "$qemu.new")
if ! [ "${major:-0}" -ge 10 ] 2>/dev/null; then
  echo "fetch-emulator: bookworm-backports gave qemu-i386 version '${major:-?}', not 10 or later" >&2
  rm -f "$qemu.new"
  exit 1
fi
mv "$qemu.new" "$qemu"
# Only the emulator is kept (the package is some 60 MB).
rm -rf "$state"
"$qemu" --version | head -n 1 >&2
