#!/usr/bin/env bash
# What a benchmark needs before it runs: the Debian packages named as arguments, WIN32_TARGETS
# built in the win32 preset and RELEASE_TARGETS in the release preset. WIN32_BUILD and
# RELEASE_BUILD name other build folders (default build/win32, build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh "$@"
win32=${WIN32_BUILD:-build/win32}
release=${RELEASE_BUILD:-build/release}
[ -f "$win32/CMakeCache.txt" ] || cmake --preset win32 -B "$win32"
cmake --build "$win32" -j"$(nproc)" --target $WIN32_TARGETS
[ -f "$release/CMakeCache.txt" ] || cmake --preset release -B "$release"
cmake --build "$release" -j"$(nproc)" --target $RELEASE_TARGETS
