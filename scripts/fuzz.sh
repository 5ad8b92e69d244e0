#!/usr/bin/env bash
# Runs the fuzzers with libFuzzer (clang, AddressSanitizer, UndefinedBehaviorSanitizer,
# LeakSanitizer) for a bounded time: the package reader and the whole install run from the seed
# corpus that the writer generates, the uninstall engine from its seed logs
# (ZORV_UNINSTALL_FUZZ_SECONDS, default 30), and the PE resource code from the setup.exe files
# of the builds.
#   usage: scripts/fuzz.sh [seconds for the install; the reader gets half, the PE code a third]
#   (needs the native build)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz
# clang 16 has what libstdc++'s <expected> asks of the compiler (conditionally trivial special
# members) but still reports the concepts of C++20's draft, so the level is named here; clang
# 14 has not, and the PE code returns its reasons in std::expected.
cxx=clang++-16
flags=(-std=c++2b -Wno-macro-redefined -D__cpp_concepts=202002L -O1 -g
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I.)

# -rss_limit_mb keeps a runaway allocation from passing unnoticed.
fuzz() {  # name seconds corpus
  "$out/$1" -max_total_time="$2" -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$out/" "$3" \
    > "$out/$1.log" 2>&1 || { tail -50 "$out/$1.log"; exit 1; }
  echo "$1: $(grep -E '^Done' "$out/$1.log" | tail -1)"
}

mkdir -p "$out/package-corpus" "$out/pe-corpus"
build/native/tests/fuzz/fuzz_make_seeds "$out/package-corpus"
"$cxx" "${flags[@]}" tests/fuzz/fuzz_package.cpp package/package.cpp \
  package/resource_stream.cpp package/unpack.cpp -lz -o "$out/fuzz_package"
fuzz fuzz_package $((seconds / 2)) "$out/package-corpus"

# The whole install run on the recording fake, from the same writer-made seeds.
mkdir -p "$out/install-corpus"
cp "$out"/package-corpus/* "$out/install-corpus/"
"$cxx" "${flags[@]}" tests/fuzz/fuzz_install.cpp install/*.cpp log/*.cpp package/package.cpp \
  package/resource_stream.cpp package/unpack.cpp package/code_page.cpp package/number_entry.cpp \
  wizard/package_facts.cpp texts/texts.cpp platform/codepage1251.cpp tests/fake/fake_platform.cpp \
  -lz -o "$out/fuzz_install"
fuzz fuzz_install "$seconds" "$out/install-corpus"

# The uninstall engine over hostile logs and listed names, from the seeds beside it, and the
# setup's carrying over of those logs (install/log_carry.cpp, the only part of the install it
# takes).
mkdir -p "$out/uninstall-corpus"
cp tests/fuzz/uninstall-seeds/* "$out/uninstall-corpus/"
"$cxx" "${flags[@]}" tests/fuzz/fuzz_uninstall.cpp uninstall/uninstall.cpp log/*.cpp \
  install/log_carry.cpp platform/codepage1251.cpp tests/fake/fake_platform.cpp \
  -o "$out/fuzz_uninstall"
fuzz fuzz_uninstall "${ZORV_UNINSTALL_FUZZ_SECONDS:-30}" "$out/uninstall-corpus"

find build/win32 build/native -name '*.exe' -size -400k -exec cp {} "$out/pe-corpus/" \; 2>/dev/null || true
build/native/tests/pe/make_pe_seeds "$out/pe-corpus"
"$cxx" "${flags[@]}" tests/pe/fuzz_pe_resources.cpp tools/pe/*.cpp -o "$out/fuzz_pe_resources"
fuzz fuzz_pe_resources $((seconds / 3)) "$out/pe-corpus"
