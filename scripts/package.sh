#!/usr/bin/env bash
# Makes what users download: the Debian package (zorv with the setup stub and the uninstaller
# in /usr/lib/zorv) and zorv-setup.exe (zorv.exe for Windows, installed for the user alone),
# both in build/package/. Builds the win32 preset first, then the release preset.
# WIN32_BUILD and RELEASE_BUILD name other build folders (default build/win32, build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
win32=${WIN32_BUILD:-build/win32}
release=${RELEASE_BUILD:-build/release}
out=$(realpath -m build/package)
[ -f "$win32/CMakeCache.txt" ] || cmake --preset win32 -B "$win32"
cmake --build "$win32" -j"$(nproc)" --target setup uninstall zorv
[ -f "$release/CMakeCache.txt" ] || cmake --preset release -B "$release"
cmake -S . -B "$release" -DZORV_STUB_DIR="$(realpath "$win32")/resources" >/dev/null
cmake --build "$release" -j"$(nproc)" --target zorv
mkdir -p "$out"
(cd "$release" && cpack -G DEB -D CPACK_OUTPUT_FILE_PREFIX="$out" -D CPACK_STRIP_FILES=ON)
python3 packaging/windows/make_zorv_setup.py --zorv "$release/tools/zorv/zorv" \
  --win32-build "$win32" --out "$out/zorv-setup.exe"
ls -l "$out"/*.deb "$out/zorv-setup.exe"
