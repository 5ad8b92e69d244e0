#!/usr/bin/env bash
# Runs every test: the Win32 build with its unit tests under Wine, the native build with
# sanitizers (unit tests, the zorv tool end to end, and the scenarios of the real setup.exe
# under Wine + Xvfb), and a bounded libFuzzer run over the package reader.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
export WINEPREFIX="$PWD/build/win32/wineprefix"

echo "== win32 build"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"

# Configured after the win32 build, so that the end-to-end scenarios find setup.exe.
echo "== native build and tests (AddressSanitizer, UndefinedBehaviorSanitizer, Wine scenarios)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== win32 unit tests under Wine"
ctest --preset win32

echo "== fuzzing the package reader"
bash scripts/fuzz.sh "${ZORV_FUZZ_SECONDS:-45}"
