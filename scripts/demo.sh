#!/usr/bin/env bash
# The main job: builds the tools and setup.exe, makes the demo installer from
# examples/demo/zorv.toml, and installs it: natively with `zorv install` into demo-install/,
# and for real under Wine. Without a display the Wine install runs headless under Xvfb through
# our test driver and prints what was installed; with one, the setup's page opens.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target setup uninstall zorv_e2e_driver
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs" --target zorv

zorv=build/release/tools/zorv/zorv
mkdir -p build/demo
"$zorv" build examples/demo/zorv.toml -o build/demo/demo-setup.exe \
  --stub build/win32/resources/setup.exe --uninstaller build/win32/resources/uninstall.exe
"$zorv" verify build/demo/demo-setup.exe

echo "== native install into demo-install/"
rm -rf demo-install
"$zorv" install build/demo/demo-setup.exe --dest "$PWD/demo-install/Zorv Demo" \
  --registry-file demo-install/registry.reg --programs-dir demo-install/Programs \
  --desktop-dir demo-install/Desktop
echo "-- demo-install/Zorv Demo/UnInstall.log"
cat "demo-install/Zorv Demo/UnInstall.log"

echo "== install under Wine"
if [ -n "${DISPLAY:-}" ]; then
  WINEDLLOVERRIDES=winemenubuilder.exe=d wine build/demo/demo-setup.exe
else
  python3 tests/e2e/harness.py install build/demo/demo-setup.exe --work build/demo/wine \
    --driver build/win32/tests/e2e/zorv_e2e_driver.exe
fi
