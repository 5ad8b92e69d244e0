#!/usr/bin/env bash
# The native benchmark in one command (README, Measurements): builds what it needs, then runs
# native_bench.py. Options go to native_bench.py, e.g. --rounds 5 --chart docs/native-bench.png.
# WIN32_BUILD and RELEASE_BUILD name other build folders (default build/win32, build/release).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/install-deps.sh nsis python3-matplotlib time
win32=${WIN32_BUILD:-build/win32}
release=${RELEASE_BUILD:-build/release}
[ -f "$win32/CMakeCache.txt" ] || cmake --preset win32 -B "$win32"
cmake --build "$win32" -j"$(nproc)" --target setup
[ -f "$release/CMakeCache.txt" ] || cmake --preset release -B "$release"
cmake --build "$release" -j"$(nproc)" --target zorv install_bench
exec /usr/bin/python3 bench/native/native_bench.py --zorv "$release/tools/zorv/zorv" \
  --install-bench "$release/bench/install_bench" --stub "$win32/resources/setup.exe" "$@"
