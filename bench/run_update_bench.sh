#!/usr/bin/env bash
# One whole update, timed: a stand-in terminal (KorvanDemoTerminal) loads the
# updater library, XCheckForUpdates finds 20 files of 2 MiB each newer on nginx
# on loopback, XLaunchUpdater runs the companion, which checks again,
# downloads all 20 beside the installed ones and swaps them in. Wall-clock time
# of the terminal's run, and of the companion's run alone (its start, the
# library's load, the check and the apply), natively and under Wine. Every
# round starts from a fresh installation on disk and checks that all 20 files
# were installed byte for byte.
#
# Usage: bench/run_update_bench.sh [--rounds N] [--files N] [--size-mib N]
#          [--presets "linux win32 win64"] [--port N]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

rounds=5
count=20
size_mib=2
presets="linux win32 win64"
port=${KORVAN_BENCH_PORT:-18960}
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --files) count=$2; shift 2 ;;
    --size-mib) size_mib=$2; shift 2 ;;
    --presets) presets=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY  # message boxes return at once

for preset in $presets; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 --target korvan_updater korvan_companion \
    korvan_demo_terminal >/dev/null
done

state=$(mktemp -d /tmp/korvan-update-bench.XXXXXX)
servers="python3 tests/servers/test_servers.py"
trap '$servers stop --state "$state/servers" >/dev/null; rm -rf "$state"' EXIT
mkdir -p "$state/www" "$state/old"
list="" manifest=""
for i in $(seq -w 1 "$count"); do
  head -c "${size_mib}M" /dev/urandom >"$state/www/file$i.bin"
  head -c "${size_mib}M" /dev/urandom >"$state/old/file$i.bin"
  list+="${list:+,}{\"name\":\"/MQL4/Files/file$i.bin\",\"version\":1,\"release\":0,\"build\":0}"
  manifest+="${manifest:+,}{\"name\":\"file$i.bin\",\"version\":1,\"release\":0,\"build\":1}"
done
echo "{\"Files\":[$manifest]}" >"$state/www/updateinfo.txt"
files="{\"Files\":[$list]}"
$servers start --state "$state/servers" --www "$state/www" \
  --nginx-port "$port" --control-port $((port + 1)) >/dev/null
url="http://127.0.0.1:$port"

now() { date +%s.%N; }
: >"$state/results.txt"

# A fresh installation: the library, the companion and the 20 old files.
install() {  # preset
  local terminal=$state/terminal bin=$root/build/$1/bin
  rm -rf "$terminal"
  mkdir -p "$terminal/MQL4/Libraries" "$terminal/MQL4/Files"
  cp "$state"/old/*.bin "$terminal/MQL4/Files/"
  if [[ $1 == win* ]]; then
    cp "$bin/Korvan.Tools.Updater.dll" "$bin/KorvanUpdater.exe" "$terminal/MQL4/Libraries/"
  else
    cp "$bin/libKorvan.Tools.Updater.so" "$bin/KorvanUpdater" "$terminal/MQL4/Libraries/"
  fi
}

verify() {
  local i
  for i in $(seq -w 1 "$count"); do
    if ! cmp -s "$state/www/file$i.bin" "$state/terminal/MQL4/Files/file$i.bin"; then
      echo "file$i.bin was not installed" >&2
      return 1
    fi
  done
}

round() {  # preset
  local preset=$1 terminal=$state/terminal start end app libs
  local -a runner companion
  install "$preset"
  if [[ $preset == win* ]]; then
    app=$(winepath -w "$terminal/terminal.exe" 2>/dev/null)
    libs=$(winepath -w "$terminal/MQL4/Libraries" 2>/dev/null)
    runner=(wine "$root/build/$preset/bin/KorvanDemoTerminal.exe")
    companion=(wine "$terminal/MQL4/Libraries/KorvanUpdater.exe")
  else
    app=$terminal/terminal
    libs=$terminal/MQL4/Libraries
    runner=("$root/build/$preset/bin/KorvanDemoTerminal")
    companion=("$terminal/MQL4/Libraries/KorvanUpdater")
  fi

  start=$(now)
  "${runner[@]}" "$libs" "$url" "$app" "$files" </dev/null >"$state/out.txt" 2>&1
  end=$(now)
  grep -q "XLaunchUpdater: $count\$" <(tr -d '\r' <"$state/out.txt") ||
    { cat "$state/out.txt" >&2; return 1; }
  verify
  echo "$preset terminal $(echo "$end - $start" | bc)" >>"$state/results.txt"

  install "$preset"
  start=$(now)
  set +e
  "${companion[@]}" -u "$url" -a "$app" -f "$files" -p 0 </dev/null >/dev/null 2>&1
  local status=$?
  set -e
  end=$(now)
  [ $status -eq "$count" ] || { echo "$preset companion exit $status" >&2; return 1; }
  verify
  echo "$preset companion $(echo "$end - $start" | bc)" >>"$state/results.txt"
}

for _ in $(seq "$rounds"); do
  for preset in $presets; do round "$preset"; done
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "One whole update: $count files of $size_mib MiB from nginx on loopback, $rounds rounds"
printf '%-8s %-10s %10s %10s %10s\n' preset run "median s" "min s" "max s"
for preset in $presets; do
  for run in terminal companion; do
    values=$(awk -v p="$preset" -v r="$run" '$1 == p && $2 == r { print $3 }' "$state/results.txt")
    printf '%-8s %-10s %10.3f %10.3f %10.3f\n' "$preset" "$run" "$(echo "$values" | median)" \
      "$(echo "$values" | sort -g | head -n 1)" "$(echo "$values" | sort -g | tail -n 1)"
  done
done
