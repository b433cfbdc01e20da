#!/usr/bin/env bash
# qel's benchmark: one short report on the Windows build (a script's and the
# window's start against baselines, idle CPU, size, imports).
#
#   scripts/bench.sh
#
# Installs what is missing, builds build/win32 and runs scripts/bench.py in
# a Wine session of that build; bench.py describes the measurements, their
# aims, settings and exit codes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" win32 >&2
# Debian's Python, with the python3-psutil that the setup installs.
exec "$root/scripts/wine-session" "$root/build/win32" /usr/bin/python3 "$root/scripts/bench.py" "$@"
