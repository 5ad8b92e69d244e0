#!/usr/bin/env bash
# Copies the English and Russian pictures of the wizard page and the uninstaller's question,
# taken by the last end-to-end run, to docs/screenshots/ for the README, and takes the page of
# the demo built without its [bitmaps] table, with the bitmaps the builder draws.
#   tests/e2e/update_screenshots.sh [SCREENSHOT_DIR]   (default build/native/tests/e2e/screenshots)
#   tests/e2e/update_screenshots.sh --default-bitmaps  (only the page without [bitmaps])
# The second picture needs the win32 build (setup.exe, uninstall.exe, the e2e driver) and a
# zorv (ZORV, default build/native/tools/zorv/zorv); it runs the page under Wine and Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
to="$root/docs/screenshots"
mkdir -p "$to"

copy_e2e_shots() {
  local from="$1"
  for name in page-en page-ru uninstall-en; do
    if [ ! -f "$from/$name.png" ]; then
      echo "update_screenshots: no $from/$name.png; run the e2e tests first (ctest -L e2e)" >&2
      exit 1
    fi
    if [ "$name" = uninstall-en ]; then
      # The uninstaller's box is taken with the whole screen: only the box is kept.
      convert "$from/$name.png" -fuzz 2% -trim +repage "$to/$name.png"
    else
      cp "$from/$name.png" "$to/$name.png"
    fi
    echo "$to/$name.png"
  done
}

# The demo's manifest without [bitmaps] (the table's keys go, up to the next table), its
# sources made absolute, built into a setup whose page is taken under Wine.
default_bitmaps_shot() {
  local zorv="${ZORV:-$root/build/native/tools/zorv/zorv}" win32="$root/build/win32"
  local demo="$root/examples/demo" work="$root/build/default-bitmaps"
  mkdir -p "$work"
  sed -e '/^\[bitmaps\]/,/^\[/{/^\[bitmaps\]/d;/^\[/!d}' \
      -e "s#^\(source\|icon\) = \"\([^/\"][^\"]*\)\"#\1 = \"$demo/\2\"#" \
      "$demo/zorv.toml" > "$work/zorv.toml"
  "$zorv" build "$work/zorv.toml" -o "$work/setup.exe" --stub "$win32/resources/setup.exe" \
    --uninstaller "$win32/resources/uninstall.exe"
  "$zorv" verify "$work/setup.exe"
  python3 "$root/tests/e2e/harness.py" page-shot "$work/setup.exe" page-default-bitmaps \
    --work "$work/wine" --driver "$win32/tests/e2e/zorv_e2e_driver.exe" --screenshots "$to"
  echo "$to/page-default-bitmaps.png"
}

if [ "${1:-}" != --default-bitmaps ]; then
  copy_e2e_shots "${1:-$root/build/native/tests/e2e/screenshots}"
fi
default_bitmaps_shot
