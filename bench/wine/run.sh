#!/usr/bin/env bash
# The Wine install benchmark in one command (README, Measurements): builds what it needs, then
# runs wine_bench.py. Options go to wine_bench.py, e.g. --rounds 7 --chart docs/wine-bench.png.
# WIN32_BUILD and RELEASE_BUILD name other build folders (default build/win32, build/release).
set -euo pipefail
cd "$(dirname "$0")/../.."
WIN32_TARGETS="setup zorv_e2e_driver bare_extractor" RELEASE_TARGETS=zorv \
  bash bench/build_presets.sh nsis python3-matplotlib time
# Debian's interpreter, which has the matplotlib that install-deps.sh brings.
exec /usr/bin/python3 bench/wine/wine_bench.py --win32-build "${WIN32_BUILD:-build/win32}" \
  --zorv "${RELEASE_BUILD:-build/release}/tools/zorv/zorv" "$@"
