#!/usr/bin/env bash
# qel's benchmark: prints one short report on the Windows build (start-up of
# a script and of the window against baselines, idle CPU, size, imports).
#
#   scripts/bench.sh
#
# Installs what is missing, then runs scripts/bench.py, which builds, runs
# the measurements under Wine and describes them, their aims, settings and
# exit codes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
exec python3 "$root/scripts/bench.py" "$@"
