#!/bin/sh
# The screenshot PNG decodes (netpbm's pngtopnm) to exactly the pixels the
# test captured, which it also wrote as a plain PPM.
#   check_screenshot.sh window.png window.ppm
# Exit 77 (skipped) when pngtopnm is not installed.
command -v pngtopnm >/dev/null 2>&1 || { echo "pngtopnm not installed" >&2; exit 77; }
pngtopnm "$1" | cmp - "$2"
