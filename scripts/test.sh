#!/usr/bin/env bash
# Builds every configuration and runs all tests: native, native under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and both Windows DLLs under Wine.
# Usage: scripts/test.sh [preset ...]
set -uo pipefail
cd "$(dirname "$0")/.."

default_presets=(linux linux-asan linux-tsan win32 win64)

bash scripts/setup.sh || exit 1
# A failing stage's output stays in build/logs.
stage_logs=$PWD/build/logs
source scripts/stages.sh
stage_begin test
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

configure_and_build() {  # preset
  cmake --preset "$1" && cmake --build --preset "$1" -j"$(nproc)"
}

# One line per configuration with its counts; a failure shows the end of its
# output.
passed=0 failed=0 broken=()
for preset in "${presets[@]}"; do
  if ! stage_run "$preset: build" configure_and_build "$preset"; then
    broken+=("$preset")
    continue
  fi
  build_seconds=$stage_seconds
  # ctest's exit status says whether the configuration passed; its JUnit
  # report counts the tests.
  report=build/$preset/ctest-report.xml
  rm -f "$report"
  stage_run "$preset: tests" ctest --preset "$preset" -j"$(nproc)" --output-junit "$PWD/$report" ||
    broken+=("$preset")
  total=$(junit_count tests "$report") failures=$(junit_count failures "$report")
  stage_line "$preset: $((total - failures)) passed, $failures failed" \
    "(build $build_seconds s, tests $stage_seconds s)"
  passed=$((passed + total - failures))
  failed=$((failed + failures))
done

# The release archive, built from the three configurations a vendor gets and
# checked by a whole update from its unpacked files.
if [ ${#broken[@]} -eq 0 ] && [[ " ${presets[*]} " == *" linux "* ]] &&
   [[ " ${presets[*]} " == *" win32 "* ]] && [[ " ${presets[*]} " == *" win64 "* ]]; then
  if stage "package" bash scripts/package.sh; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    broken+=(package)
  fi
fi

[ ${#broken[@]} -eq 0 ] || echo "failing configurations: ${broken[*]}"
echo "$passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ] && [ "$failed" -eq 0 ]
