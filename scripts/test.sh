#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests and the end-to-end tests (pipes, a real
# terminal under tmux, valgrind's memcheck), the unit tests again under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer, and each fuzz target for a few seconds
# (clang's libFuzzer, with AddressSanitizer and UndefinedBehaviorSanitizer), then the static
# analysis of scripts/lint.sh. Fails when any test fails or the analysis finds something.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v tmux >/dev/null || need+=(tmux)
command -v python3 >/dev/null || need+=(python3)
[ -x /usr/bin/time ] || need+=(time)
command -v valgrind >/dev/null || need+=(valgrind)
command -v clang++ >/dev/null || need+=(clang)
compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' >/dev/null || need+=(libclang-rt-dev)
[ -e /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && apt-get install -y -qq "${need[@]}"
fi

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCAPITAL_QUIZ_SANITIZE=ON
cmake --build build-sanitize -j"$jobs" --target unit_tests
ctest --test-dir build-sanitize -L unit --output-on-failure -j"$jobs"

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCAPITAL_QUIZ_TSAN=ON
cmake --build build-tsan -j"$jobs" --target unit_tests
ctest --test-dir build-tsan -L unit --output-on-failure -j"$jobs"

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCAPITAL_QUIZ_FUZZ=ON \
  -DFUZZ_SECONDS="${FUZZ_SECONDS:-5}"
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j"$jobs"

scripts/lint.sh
