#!/usr/bin/env bash
# The native benchmark in one command (README, Measurements): builds what it needs, then runs
# native_bench.py. Options go to native_bench.py, e.g. --rounds 5 --chart docs/native-bench.png.
# WIN32_BUILD and RELEASE_BUILD name other build folders (default build/win32, build/release).
set -euo pipefail
cd "$(dirname "$0")/../.."
WIN32_TARGETS=setup RELEASE_TARGETS="zorv install_bench" \
  bash bench/build_presets.sh nsis python3-matplotlib time
release=${RELEASE_BUILD:-build/release}
exec /usr/bin/python3 bench/native/native_bench.py --zorv "$release/tools/zorv/zorv" \
  --install-bench "$release/bench/install_bench" --stub "${WIN32_BUILD:-build/win32}/resources/setup.exe" "$@"
