#!/usr/bin/env bash
# The Wine install benchmark in one command (README, Measurements): builds what it needs, then
# runs wine_bench.py. Options go to wine_bench.py, e.g. --rounds 7 --chart docs/wine-bench.png.
# WIN32_BUILD and RELEASE_BUILD name other build folders (default build/win32, build/release).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/install-deps.sh nsis python3-matplotlib time
win32=${WIN32_BUILD:-build/win32}
release=${RELEASE_BUILD:-build/release}
[ -f "$win32/CMakeCache.txt" ] || cmake --preset win32 -B "$win32"
cmake --build "$win32" -j"$(nproc)" --target setup zorv_e2e_driver bare_extractor
[ -f "$release/CMakeCache.txt" ] || cmake --preset release -B "$release"
cmake --build "$release" -j"$(nproc)" --target zorv
# Debian's interpreter, which has the matplotlib that install-deps.sh brings.
exec /usr/bin/python3 bench/wine/wine_bench.py --win32-build "$win32" \
  --zorv "$release/tools/zorv/zorv" "$@"
