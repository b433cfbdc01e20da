#!/usr/bin/env bash
# qel's soak run: leaves the window polling the simulated switch for a long
# time and checks that its memory, handles and GDI/USER objects stay flat.
#
#   scripts/soak.sh [MINUTES]      (default 10)
#
# Installs what is missing, then runs scripts/soak.py, which builds, runs
# qel under Wine, samples it and describes the samples, the verdict, the
# settings and the exit codes (0 flat, 1 something grew, 2 no run made).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
exec python3 "$root/scripts/soak.py" "$@"
