#!/usr/bin/env bash
# Download throughput and peak memory: DownloadFile (bench/download_bench.cc)
# against the curl command line, both fetching the same large file from nginx
# on loopback into memory-backed files, several rounds each, alternating.
# The 32-bit Windows build runs the same download under Wine for a figure of
# its own. Peak memory is the whole process's (/usr/bin/time -v); a second,
# small file shows whether it grows with the size.
#
# Usage: bench/run_download_bench.sh [--rounds N] [--wine-rounds N]
#          [--size-mib N] [--presets "linux win32"] [--port N]
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=5
wine_rounds=3
size_mib=512
small_mib=8
presets="linux win32"
port=${KORVAN_BENCH_PORT:-18950}
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --wine-rounds) wine_rounds=$2; shift 2 ;;
    --size-mib) size_mib=$2; shift 2 ;;
    --presets) presets=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
export WINEDEBUG=-all

for preset in $presets; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 --target download_bench >/dev/null
done

state=$(mktemp -d /dev/shm/korvan-bench.XXXXXX 2>/dev/null || mktemp -d)
servers="python3 tests/servers/test_servers.py"
trap '$servers stop --state "$state/servers"; rm -rf "$state"' EXIT
mkdir -p "$state/www"
head -c "${size_mib}M" /dev/urandom >"$state/www/large.bin"
head -c "${small_mib}M" /dev/urandom >"$state/www/small.bin"
$servers start --state "$state/servers" --www "$state/www" \
  --nginx-port "$port" --control-port $((port + 1)) >/dev/null
base="http://127.0.0.1:$port"

dest="$state/out.bin"
: >"$state/results.txt"

# Runs one download under /usr/bin/time and records "<tool> <file> <MiB/s>
# <peak RSS KiB>". Each tool prints "bytes=<n> seconds=<s>" of the transfer
# itself, so process start-up (Wine's above all) does not count.
measure() {
  local tool=$1 file=$2 url="$base/$2"
  local -a command
  case "$tool" in
    curl) command=(curl -sS --noproxy '*' -o "$dest"
                   -w 'bytes=%{size_download} seconds=%{time_total}\n' "$url") ;;
    DownloadFile-linux) command=(build/linux/bin/download_bench "$url" "$dest") ;;
    DownloadFile-win32-wine) command=(wine build/win32/bin/download_bench.exe "$url" "Z:$dest") ;;
  esac
  rm -f "$dest"
  /usr/bin/time -v -o "$state/time.txt" "${command[@]}" >"$state/out.txt"
  local bytes seconds rss
  bytes=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' "$state/out.txt")
  seconds=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$state/out.txt")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$state/time.txt")
  if [ "$bytes" != "$(stat -c %s "$state/www/$file")" ] || ! cmp -s "$state/www/$file" "$dest"; then
    echo "$tool: the download of $file differs from the served file" >&2
    return 1
  fi
  rm -f "$dest"
  awk -v t="$tool" -v f="$file" -v b="$bytes" -v s="$seconds" -v r="$rss" \
    'BEGIN { printf "%s %s %.1f %d\n", t, f, b / 1048576 / s, r }' >>"$state/results.txt"
}

native=false wine=false
case " $presets " in *" linux "*) native=true ;; esac
case " $presets " in *" win32 "*) wine=true ;; esac
for _ in $(seq "$rounds"); do
  if $native; then measure DownloadFile-linux large.bin; fi
  measure curl large.bin
done
for _ in 1 2; do
  if $native; then measure DownloadFile-linux small.bin; fi
  measure curl small.bin
done
if $wine; then
  for _ in $(seq "$wine_rounds"); do measure DownloadFile-win32-wine large.bin; done
  for _ in 1 2; do measure DownloadFile-win32-wine small.bin; done
fi

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) exit; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { sort -g | tail -n 1; }

echo "Download of ${size_mib} MiB (and ${small_mib} MiB) from nginx on loopback"
printf '%-26s %-10s %8s %14s %16s\n' tool file rounds "MiB/s median" "peak RSS KiB"
while read -r name file; do
  rows=$(awk -v n="$name" -v f="$file" '$1 == n && $2 == f' "$state/results.txt")
  printf '%-26s %-10s %8d %14s %16s\n' "$name" "$file" "$(echo "$rows" | wc -l)" \
    "$(echo "$rows" | awk '{ print $3 }' | median)" "$(echo "$rows" | awk '{ print $4 }' | maximum)"
done < <(awk '{ print $1, $2 }' "$state/results.txt" | sort -u)

speed() { awk -v n="$1" '$1 == n && $2 == "large.bin" { print $3 }' "$state/results.txt" | median; }
curl_speed=$(speed curl)
for name in DownloadFile-linux DownloadFile-win32-wine; do
  mine=$(speed "$name")
  [ -n "$mine" ] || continue
  awk -v n="$name" -v a="$mine" -v b="$curl_speed" \
    'BEGIN { printf "throughput ratio %s / curl: %.2f\n", n, a / b }'
done
