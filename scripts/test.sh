#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests and the end-to-end tests (pipes and a real
# terminal under tmux), then the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v tmux >/dev/null || need+=(tmux)
command -v python3 >/dev/null || need+=(python3)
[ -x /usr/bin/time ] || need+=(time)
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
