#!/usr/bin/env bash
# Makes the README's pictures anew from the build: docs/window.png,
# docs/window-lit.png, docs/window-tip.png and docs/window-high-contrast.png.
#
#   scripts/docs-pictures.sh
#
# Builds the Windows programs (build/win32), runs the screenshot tests
# under Wine on a private display, as qel runs on the Japanese Windows it is
# made for, and copies their pictures into docs/:
#
#   build/win32/screenshots/window.png          -> docs/window.png
#       qel_window_screenshot: the window as it opens, filled from ip.ini
#   build/win32/screenshots/window-lit.png      -> docs/window-lit.png
#       qel_panel_screenshot: Sw1 and Sw3 lit by the simulated switch
#   build/win32/screenshots/window-lit-tip.png  -> docs/window-tip.png
#       qel_panel_screenshot: the same with Sw1's tooltip
#   build/win32/screenshots/window-high-contrast.png -> docs/window-high-contrast.png
#       qel_high_contrast: a high-contrast theme, Sw1 and Sw3 lit, Sw4 unknown
#
# A picture that a test did not write, or that is no PNG, stops the script
# before docs/ changes. Works from any folder.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
trap 'exit 130' INT TERM

bash "$root/scripts/setup.sh"
"$root/scripts/build.sh" win32

shots="$root/build/win32/screenshots"
pictures=(
  "window.png:window.png"
  "window-lit.png:window-lit.png"
  "window-lit-tip.png:window-tip.png"
  "window-high-contrast.png:window-high-contrast.png"
)
for picture in "${pictures[@]}"; do rm -f "$shots/${picture%%:*}"; done

if ! "$root/scripts/wine-session" "$root/build/win32" ctest --test-dir "$root/build/win32" -R '^(qel_window_screenshot|qel_panel_screenshot|qel_high_contrast)$' --output-on-failure; then
  echo "docs-pictures.sh: a screenshot test failed; docs/ is unchanged" >&2
  exit 1
fi

for picture in "${pictures[@]}"; do
  made="$shots/${picture%%:*}"
  if [ "$(head -c 8 "$made" 2>/dev/null | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "docs-pictures.sh: no PNG at $made; docs/ is unchanged" >&2
    exit 1
  fi
done
# The tests write their pictures uncompressed (some 115 KB each); netpbm
# packs them for the repository, pixel for pixel the same.
for picture in "${pictures[@]}"; do
  pngtopnm "$shots/${picture%%:*}" | pnmtopng -compression 9 >"$root/docs/${picture#*:}"
  echo "docs-pictures.sh: docs/${picture#*:} from build/win32/screenshots/${picture%%:*}" >&2
done
