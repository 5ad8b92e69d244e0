#!/usr/bin/env bash
# Copies the English and Russian pictures of the wizard page and the uninstaller's question,
# taken by the last end-to-end run, to docs/screenshots/ for the README.
#   tests/e2e/update_screenshots.sh [SCREENSHOT_DIR]   (default build/native/tests/e2e/screenshots)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
from="${1:-$root/build/native/tests/e2e/screenshots}"
to="$root/docs/screenshots"
mkdir -p "$to"
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
