#!/usr/bin/env bash
# Builds qel's release and writes it to dist/:
#   dist/qel-<version>-win32.zip      qel.exe and readme.txt (Japanese,
#                                     Shift-JIS with CRLF, for Notepad)
#   dist/qel-<version>-simswitch.zip  the simulated switch's socket.dll and
#                                     its readme, for trying qel without a
#                                     switch; never in the other zip
# The version is the project's (CMakeLists.txt). Neither zip holds an
# ip.ini, so unpacking a new version keeps a user's settings.
#
# Reproducible: the same commit gives the same bytes in any folder. The
# entries are dated SOURCE_DATE_EPOCH, by default the time of the last
# commit; scripts/check-reproducible.sh builds twice and compares.
#
# Builds only qel.exe and the simulated switch (in build/win32, the win32
# preset); installs what is missing first, as every script here does.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
trap 'exit 130' INT TERM

bash "$root/scripts/setup.sh"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || [ -z "$SOURCE_DATE_EPOCH" ]; then
    echo "package.sh: not a git clone: set SOURCE_DATE_EPOCH (seconds since 1970) for the entries' time" >&2
    exit 1
  fi
fi
export SOURCE_DATE_EPOCH

bash "$root/scripts/build.sh" win32 -- --target dist

rm -rf "$root/dist"
mkdir -p "$root/dist"
cp "$root"/build/win32/dist/qel-*.zip "$root/dist/"
echo "package.sh: written:"
(cd "$root" && for zip in dist/*.zip; do
  printf '  %s  %s bytes  sha256 %s\n' "$zip" "$(stat -c %s "$zip")" "$(sha256sum "$zip" | cut -d' ' -f1)"
done)
