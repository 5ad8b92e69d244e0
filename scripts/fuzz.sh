#!/usr/bin/env bash
# Runs the package fuzzer with libFuzzer (clang, AddressSanitizer, UndefinedBehaviorSanitizer,
# LeakSanitizer) for a bounded time, starting from the seed corpus that the writer generates.
#   usage: scripts/fuzz.sh [seconds]   (needs the native build for the seed generator)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz
mkdir -p "$out/corpus"
build/native/tests/fuzz/fuzz_make_seeds "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I. tests/fuzz/fuzz_package.cpp package/package.cpp package/resource_stream.cpp \
  package/unpack.cpp -lz -o "$out/fuzz_package"
# -rss_limit_mb keeps a runaway allocation from passing unnoticed.
"$out/fuzz_package" -max_total_time="$seconds" -rss_limit_mb=1024 -print_final_stats=1 \
  "$out/corpus" > "$out/fuzz.log" 2>&1 || { tail -50 "$out/fuzz.log"; exit 1; }
grep -E 'stat::number_of_executed_units|Done' "$out/fuzz.log" | tail -2
