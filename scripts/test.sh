#!/usr/bin/env bash
# Builds every configuration and runs all tests: native, native under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and both Windows DLLs under Wine.
# Usage: scripts/test.sh [preset ...]
set -uo pipefail
cd "$(dirname "$0")/.."

default_presets=(linux linux-asan linux-tsan win32 win64)

bash scripts/setup.sh || exit 1
export WINEDEBUG=-all
# Message boxes must never wait for a person during tests.
unset DISPLAY WAYLAND_DISPLAY

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=("${default_presets[@]}")

# A count from the first element of ctest's JUnit report; 0 without one.
junit_count() {  # attribute report
  local value
  value=$(sed -n "s/.*\b$1=\"\([0-9]*\)\".*/\1/p" "$2" 2>/dev/null | head -n 1)
  echo "${value:-0}"
}

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
  # ctest's exit status says whether the configuration passed; its JUnit
  # report counts the tests.
  report=build/$preset/ctest-report.xml
  rm -f "$report"
  ctest --preset "$preset" -j"$(nproc)" --output-junit "$PWD/$report" || broken+=("$preset")
  total=$(junit_count tests "$report") failures=$(junit_count failures "$report")
  passed=$((passed + total - failures))
  failed=$((failed + failures))
done

# The release archive, built from the three configurations a vendor gets and
# checked by a whole update from its unpacked files.
if [ ${#broken[@]} -eq 0 ] && [[ " ${presets[*]} " == *" linux "* ]] &&
   [[ " ${presets[*]} " == *" win32 "* ]] && [[ " ${presets[*]} " == *" win64 "* ]]; then
  echo "== package"
  if bash scripts/package.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); broken+=(package); fi
fi

[ ${#broken[@]} -eq 0 ] || echo "failing configurations: ${broken[*]}"
echo "$passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ] && [ "$failed" -eq 0 ]
