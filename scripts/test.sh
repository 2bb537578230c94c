#!/usr/bin/env bash
# Builds every configuration and runs all tests: native, native under
# AddressSanitizer and UndefinedBehaviorSanitizer, and both Windows DLLs under
# Wine. Usage: scripts/test.sh [preset ...]
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1
export WINEDEBUG=-all
# Message boxes must never wait for a person during tests.
unset DISPLAY WAYLAND_DISPLAY

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan win32 win64)

passed=0 failed=0 broken=()
for preset in "${presets[@]}"; do
  echo "== $preset"
  if ! cmake --preset "$preset" >"build-$preset.log" 2>&1 ||
     ! cmake --build --preset "$preset" -j"$(nproc)" >>"build-$preset.log" 2>&1; then
    tail -n 40 "build-$preset.log"
    broken+=("$preset")
    continue
  fi
  rm -f "build-$preset.log"
  output=$(ctest --preset "$preset" -j"$(nproc)" 2>&1)
  status=$?
  echo "$output" | grep -v -E '^(\s+Start|\s*[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed)' | sed '/^$/N;/^\n$/D'
  summary=$(echo "$output" | sed -n 's/.*tests passed, \([0-9]*\) tests* failed out of \([0-9]*\).*/\1 \2/p' | tail -n 1)
  if [ -n "$summary" ]; then
    read -r f total <<<"$summary"
    passed=$((passed + total - f))
    failed=$((failed + f))
  fi
  [ $status -eq 0 ] || broken+=("$preset")
done

[ ${#broken[@]} -eq 0 ] || echo "failing configurations: ${broken[*]}"
echo "$passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ] && [ "$failed" -eq 0 ]
