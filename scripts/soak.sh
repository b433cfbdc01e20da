#!/usr/bin/env bash
# qel's soak run: leaves the window polling the simulated switch for a long
# time and checks that its memory, handles and GDI/USER objects stay flat.
#
#   scripts/soak.sh [MINUTES]      (default 10)
#
# Installs what is missing, builds build/win32 and runs scripts/soak.py in a
# Wine session of its own, in QEL_SOAK_DIR (default build/win32/soak), so
# that a soak can run beside scripts/test.sh; soak.py describes the samples,
# the verdict, the settings and the exit codes (0 flat, 1 something grew, 2
# no run made).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" win32 >&2
QEL_SOAK_DIR=$(realpath -m "${QEL_SOAK_DIR:-$root/build/win32/soak}")
export QEL_SOAK_DIR
# Debian's Python, with the python3-psutil that the setup installs.
exec "$root/scripts/wine-session" "$QEL_SOAK_DIR" /usr/bin/python3 "$root/scripts/soak.py" "$@"
