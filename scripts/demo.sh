#!/usr/bin/env bash
# The main job: builds the tools and a sample package, and lists it with the inspector.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
mkdir -p build/demo
build/release/tests/fuzz/fuzz_make_seeds build/demo
build/release/tools/zorv/zorv list build/demo/full.pkg
