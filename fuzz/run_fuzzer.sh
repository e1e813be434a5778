#!/usr/bin/env bash
# run_fuzzer.sh TARGET SEEDS WORK SECONDS
# Replays the seed inputs, then fuzzes for SECONDS. New inputs go to WORK/corpus (the seed folder
# is never written); an input that fails is saved in WORK as crash-*, leak-*, timeout-* or oom-*.
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work/corpus"
# libFuzzer checks every input for leaks already. The sanitizer's own check at exit would repeat
# that, and after minutes of fuzzing it needs more memory than the run is allowed.
export LSAN_OPTIONS="leak_check_at_exit=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds"
