#!/usr/bin/env bash
# A whole update on loopback, the way a vendor's users meet it: nginx serves a
# release, a stand-in terminal loads the updater library, checks, confirms and
# lets the companion swap the files in place. Runs the Linux build and both
# Windows DLLs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/stages.sh
stage_begin demo
export WINEDEBUG=-all

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux win32 win64)
# Only what the demo runs: the library, its companion and the stand-in
# terminal of each build shown, and the native publisher. The test suites
# are scripts/test.sh's.
shown_targets=(korvan_updater korvan_companion korvan_demo_terminal)
build() {  # preset target...
  local preset=$1
  shift
  stage "$preset: configure" cmake --preset "$preset"
  stage "$preset: build ${*}" cmake --build --preset "$preset" -j"$(nproc)" --target "$@"
}
# The publisher runs natively whichever builds are shown.
if [[ " ${presets[*]} " == *" linux "* ]]; then
  build linux korvan_publish "${shown_targets[@]}"
else
  build linux korvan_publish
fi
for preset in "${presets[@]}"; do
  [ "$preset" = linux ] || build "$preset" "${shown_targets[@]}"
done

demo=$root/build/demo
# Beside the tests' ports, shifted as theirs are for checkouts side by side.
port=$((18090 + ${KORVAN_TEST_PORT_SHIFT:-0}))
rm -rf "$demo" && mkdir -p "$demo/release"

# The release a vendor publishes: the files, and the manifest korvan-publish
# writes for them (none of them is a library that could tell its version).
echo "MyExpert 1.2.0" >"$demo/release/MyExpert.ex4"
echo "MyIndicator 2.0.0" >"$demo/release/MyIndicator.ex4"
echo "Settings 1.0.0" >"$demo/release/Settings.set"
"$root/build/linux/bin/korvan-publish" "$demo/release" --version MyExpert.ex4=1.2.0 \
  --version MyIndicator.ex4=2.0.0 --version Settings.set=1.0.0 \
  --description "MyExpert.ex4=The demo expert"
stage_line "release published in $demo/release"

# The tests' own servers: nginx serves the release.
servers=(python3 tests/servers/test_servers.py)
trap '"${servers[@]}" stop --state "$demo/servers" >/dev/null' EXIT
stage "start nginx on port $port" "${servers[@]}" start --state "$demo/servers" \
  --www "$demo/release" --nginx-port "$port" --control-port $((port + 1))

files='[{"name":"/MQL4/Experts/MyExpert.ex4","version":1,"release":1,"build":0},{"name":"/MQL4/Indicators/MyIndicator.ex4","version":1,"release":0,"build":5},{"name":"/MQL4/Presets/Settings.set","version":1,"release":0,"build":0}]'
files="{\"Files\":$files}"

run() {  # preset
  local preset=$1 terminal=$demo/terminal-$1 bin=$root/build/$1/bin
  mkdir -p "$terminal/MQL4/Libraries" "$terminal/MQL4/Experts" "$terminal/MQL4/Indicators" "$terminal/MQL4/Presets"
  echo "MyExpert 1.1.0" >"$terminal/MQL4/Experts/MyExpert.ex4"
  echo "MyIndicator 1.0.5" >"$terminal/MQL4/Indicators/MyIndicator.ex4"
  echo "Settings 1.0.0" >"$terminal/MQL4/Presets/Settings.set"
  local runner=() app=$terminal/terminal libs=$terminal/MQL4/Libraries
  if [[ $preset == win* ]]; then
    cp "$bin/Korvan.Tools.Updater.dll" "$bin/KorvanUpdater.exe" "$libs/"
    runner=(wine "$bin/KorvanDemoTerminal.exe")
    app=$(winepath -w "$terminal/terminal.exe" 2>/dev/null)
    libs=$(winepath -w "$libs" 2>/dev/null)
  else
    cp "$bin/libKorvan.Tools.Updater.so" "$bin/KorvanUpdater" "$libs/"
    runner=("$bin/KorvanDemoTerminal")
  fi
  stage_line "$preset: a whole update, terminal in $terminal"
  "${runner[@]}" "$libs" "http://127.0.0.1:$port" "$app" "$files" </dev/null
  echo "-- installed files now:"
  for f in Experts/MyExpert.ex4 Indicators/MyIndicator.ex4 Presets/Settings.set; do
    printf '   %-28s %s\n' "$f" "$(tr -d '\r' <"$terminal/MQL4/$f")"
  done
  echo "-- log ($terminal/KorvanUpdaterLog.log):"
  tr -d '\r' <"$terminal/KorvanUpdaterLog.log" | sed 's/^/   /'
  cmp -s "$terminal/MQL4/Experts/MyExpert.ex4" "$demo/release/MyExpert.ex4"
  cmp -s "$terminal/MQL4/Indicators/MyIndicator.ex4" "$demo/release/MyIndicator.ex4"
}

for preset in "${presets[@]}"; do run "$preset"; done
stage_line "every installation holds the new release"
