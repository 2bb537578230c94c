#!/usr/bin/env bash
# Fuzzes each target for a while (default 60 s each) with libFuzzer, starting
# from the committed corpus. New inputs stay in build/fuzz/corpus-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null
for target in file_list command_line minisign; do
  work=build/fuzz/corpus-$target
  mkdir -p "$work"
  echo "== $target ($seconds s)"
  build/fuzz/bin/korvan_fuzz_$target -max_total_time="$seconds" -max_len=4096 \
    "$work" "fuzz/corpus/$target" 2>&1 | tail -n 3
done
