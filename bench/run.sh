#!/usr/bin/env bash
# Every benchmark side by side with its yardstick, in one run, printed as one
# table (ratio = ours / yardstick):
#   download   DownloadFile on one large file (bench/download_bench.cc), natively
#              and both Windows builds under Wine, against the curl command line;
#   memory     peak resident memory of the same downloading 1 GiB and 1 MiB;
#   update     one whole update of 20 files of 2 MiB: the terminal's run
#              (KorvanDemoTerminal) and the companion's run alone, split into
#              process start, check, downloads and swaps, against a plain
#              script that does the same with curl (bench/curl_update.sh);
#   move       a move of a large file to another volume (bench/move_bench.cc)
#              against mv and sync, natively;
#   log        Write, lines per second on 1 and 8 threads, against a bare
#              fprintf+fflush loop on the same file (bench/log_bench.cc);
#   primitives one extEnterCS/extLeaveCS pair and extGetFlag through the
#              loaded library against the platform's critical section
#              (Google Benchmark, bench/primitives_bench.cc), natively and
#              under Wine.
# Everything runs on loopback against one nginx; rounds alternate between the
# contenders, and the table shows medians. Times are the transfers' own
# (process start-up excluded) except in the update rows.
#
# Usage: bench/run.sh [--presets "linux win32 win64"] [--only "download memory
#          update move log primitives"] [--rounds N] [--download-mib N] [--port N]
# The port defaults to 18950 plus KORVAN_TEST_PORT_SHIFT.
set -euo pipefail
trap 'echo "bench/run.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
root=$(pwd)

presets="linux win32 win64"
only="download memory update move log primitives"
rounds=3
download_mib=512
move_mib=256
update_files=20
update_mib=2
port=$((${KORVAN_BENCH_PORT:-18950} + ${KORVAN_TEST_PORT_SHIFT:-0}))
while [ $# -gt 0 ]; do
  case "$1" in
    --presets) presets=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --download-mib) download_mib=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY  # message boxes return at once
wanted() { case " $only " in *" $1 "*) return 0 ;; esac; return 1; }

for preset in $presets; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 --target download_bench move_bench log_bench primitives_bench \
    korvan_updater korvan_companion korvan_demo_terminal >/dev/null
done

# Downloads land in memory, so that the disk does not set the pace; the
# update works on disk, as a real one does.
state=$(mktemp -d /dev/shm/korvan-bench.XXXXXX 2>/dev/null || mktemp -d)
disk=$(mktemp -d /tmp/korvan-bench.XXXXXX)
servers="python3 tests/servers/test_servers.py"
trap '$servers stop --state "$state/servers" >/dev/null 2>&1; rm -rf "$state" "$disk"' EXIT
www=$state/www
mkdir -p "$www/current"
results=$state/results.txt
: >"$results"
record() { echo "$*" >>"$results"; }  # key value

# The contenders of a download: "curl" or a preset.
tools="curl $presets"
bin() { echo "$root/build/$1/bin"; }
# The program of a preset; Windows builds run under Wine.
program() {  # preset name
  if [[ $1 == win* ]]; then echo "wine $(bin "$1")/$2.exe"; else echo "$(bin "$1")/$2"; fi
}
# A path as the preset's program must see it.
native_path() {  # preset path
  if [[ $1 == win* ]]; then winepath -w "$2" 2>/dev/null; else echo "$2"; fi
}

head -c "${download_mib}M" /dev/urandom >"$www/large.bin"
truncate -s 1G "$www/huge.bin"  # sparse: the size matters here, not the bytes
head -c 1M /dev/urandom >"$www/tiny.bin"
manifest="" current="" files=""
for i in $(seq -w 1 "$update_files"); do
  head -c "${update_mib}M" /dev/urandom >"$www/file$i.bin"
  manifest+="${manifest:+,}{\"name\":\"file$i.bin\",\"version\":1,\"release\":0,\"build\":1}"
  current+="${current:+,}{\"name\":\"file$i.bin\",\"version\":1,\"release\":0,\"build\":0}"
  files+="${files:+,}{\"name\":\"/MQL4/Files/file$i.bin\",\"version\":1,\"release\":0,\"build\":0}"
done
echo "{\"Files\":[$manifest]}" >"$www/updateinfo.txt"
echo "{\"Files\":[$current]}" >"$www/current/updateinfo.txt"  # nothing newer
files="{\"Files\":[$files]}"
$servers start --state "$state/servers" --www "$www" \
  --nginx-port "$port" --control-port $((port + 1)) >/dev/null
url="http://127.0.0.1:$port"
refused="http://127.0.0.1:$((port + 2))"  # nobody listens there
for preset in $presets; do  # Wine's first start in a while is slow
  if [[ $preset == win* ]]; then $(program "$preset" download_bench) >/dev/null 2>&1 || true; fi
done

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
value() { awk -v k="$1" '$1 == k { print $2 }' "$results" | median; }
# A busy machine only ever adds time: the fastest round is the truest, and
# the pieces of a split taken that way add up.
fastest() { awk -v k="$1" '$1 == k { print $2 }' "$results" | sort -g | head -n 1; }
now() { date +%s.%N; }

# One download; records its MiB/s and peak resident KiB.
download() {  # tool file key
  local tool=$1 file=$2 key=$3 dest=$state/out.bin
  local -a command
  if [ "$tool" = curl ]; then
    command=(curl -sS --noproxy '*' -o "$dest" -w 'bytes=%{size_download} seconds=%{time_total}\n'
             "$url/$file")
  else
    read -r -a command <<<"$(program "$tool" download_bench)"
    command+=("$url/$file" "$(native_path "$tool" "$dest")")
  fi
  rm -f "$dest"
  /usr/bin/time -v -o "$state/time.txt" "${command[@]}" >"$state/out.txt"
  if [ "$(stat -c %s "$dest")" != "$(stat -c %s "$www/$file")" ] || ! cmp -s "$www/$file" "$dest"; then
    echo "$tool: the download of $file differs from the served file" >&2
    exit 1
  fi
  rm -f "$dest"
  sed -n 's/.*bytes=\([0-9]*\) seconds=\([0-9.]*\).*/\1 \2/p' "$state/out.txt" |
    awk -v k="$key" '{ printf "%s.speed %.1f\n", k, $1 / 1048576 / $2 }' >>"$results"
  record "$key.rss $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$state/time.txt")"
}

if wanted download; then
  for _ in $(seq "$rounds"); do
    for tool in $tools; do download "$tool" large.bin "download.$tool"; done
  done
fi
if wanted memory; then
  for tool in $tools; do
    download "$tool" tiny.bin "small.$tool"
    download "$tool" huge.bin "huge.$tool"
  done
fi

# One whole update in a fresh installation on disk: the library, the
# companion and 20 old files.
terminal=$disk/terminal
install() {  # preset
  rm -rf "$terminal"
  mkdir -p "$terminal/MQL4/Libraries" "$terminal/MQL4/Files"
  for i in $(seq -w 1 "$update_files"); do echo "old $i" >"$terminal/MQL4/Files/file$i.bin"; done
  if [ "$1" = curl ]; then return; fi
  if [[ $1 == win* ]]; then
    cp "$(bin "$1")/Korvan.Tools.Updater.dll" "$(bin "$1")/KorvanUpdater.exe" "$terminal/MQL4/Libraries/"
  else
    cp "$(bin "$1")/libKorvan.Tools.Updater.so" "$(bin "$1")/KorvanUpdater" "$terminal/MQL4/Libraries/"
  fi
}
installed() {
  local i
  for i in $(seq -w 1 "$update_files"); do
    cmp -s "$www/file$i.bin" "$terminal/MQL4/Files/file$i.bin" ||
      { echo "file$i.bin was not installed" >&2; exit 1; }
  done
}
timed() {  # key command...: records the wall-clock seconds; returns the exit status
  local key=$1 start status
  shift
  start=$(now)
  set +e
  "$@" </dev/null >"$state/out.txt" 2>&1
  status=$?
  set -e
  record "$key $(echo "$(now) - $start" | bc)"
  return $status
}

update_round() {  # preset
  local preset=$1 app libs status i
  local -a runner companion fetch
  install "$preset"
  app=$(native_path "$preset" "$terminal/terminal.exe")
  libs=$(native_path "$preset" "$terminal/MQL4/Libraries")
  read -r -a runner <<<"$(program "$preset" KorvanDemoTerminal)"
  if [[ $preset == win* ]]; then
    companion=(wine "$terminal/MQL4/Libraries/KorvanUpdater.exe")
  else
    companion=("$terminal/MQL4/Libraries/KorvanUpdater")
  fi

  timed "update.$preset.terminal" "${runner[@]}" "$libs" "$url" "$app" "$files" ||
    { cat "$state/out.txt" >&2; exit 1; }
  grep -q "XLaunchUpdater: $update_files\$" <(tr -d '\r' <"$state/out.txt") ||
    { cat "$state/out.txt" >&2; exit 1; }
  installed

  install "$preset"
  status=0
  timed "update.$preset.companion" "${companion[@]}" -u "$url" -a "$app" -f "$files" -p 0 ||
    status=$?
  [ "$status" -eq "$update_files" ] ||
    { echo "$preset companion exit $status" >&2; exit 1; }
  installed

  # The same run's pieces: a check refused at once (process start and the
  # library's load), a check that finds nothing newer, and the 20 downloads
  # alone in one process. The swaps are what remains, the run's end included.
  install "$preset"
  timed "update.$preset.start" "${companion[@]}" -u "$refused" -a "$app" -f "$files" -p 0 || true
  timed "update.$preset.checked" "${companion[@]}" -u "$url/current" -a "$app" -f "$files" -p 0 ||
    true
  read -r -a fetch <<<"$(program "$preset" download_bench)"
  for i in $(seq -w 1 "$update_files"); do
    fetch+=("$url/file$i.bin" "$(native_path "$preset" "$terminal/MQL4/Files/file$i.bin.new")")
  done
  "${fetch[@]}" >"$state/out.txt"
  record "update.$preset.downloads $(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$state/out.txt")"
}

curl_round() {
  install curl
  timed update.curl.script bench/curl_update.sh "$url" "$terminal/MQL4/Files" "$update_files" ||
    { cat "$state/out.txt" >&2; exit 1; }
  installed
  local phase
  for phase in check downloads swaps; do
    record "update.curl.$phase $(sed -n "s/^$phase=//p" "$state/out.txt")"
  done
}

if wanted update; then
  for _ in $(seq "$rounds"); do
    curl_round
    for preset in $presets; do update_round "$preset"; done
  done
fi

# A move to another volume is a copy: from the disk into memory here, so that
# the copy itself is timed rather than the disk.
if wanted move && [[ " $presets " == *" linux "* ]]; then
  head -c "${move_mib}M" /dev/urandom >"$disk/move.master"
  for _ in $(seq "$rounds"); do
    cp "$disk/move.master" "$disk/move.bin"
    timed move.linux "$(bin linux)/move_bench" "$disk/move.bin" "$state/moved.bin"
    cmp -s "$disk/move.master" "$state/moved.bin" || { echo "the move changed the file" >&2; exit 1; }
    rm -f "$state/moved.bin"
    cp "$disk/move.master" "$disk/move.bin"
    timed move.mv sh -c 'mv "$1" "$2" && sync "$2"' - "$disk/move.bin" "$state/moved.bin"
    rm -f "$state/moved.bin"
  done
  rm -f "$disk/move.master"
fi

if wanted log; then
  for threads in 1 8; do
    "$(bin linux)/log_bench" "$disk/log.txt" "$threads" $((80000 / threads)) "$rounds" |
      sed -n "s/.*write_lines_per_second=\([0-9]*\) fprintf_lines_per_second=\([0-9]*\)/log.$threads.write \1\nlog.$threads.fprintf \2/p" \
        >>"$results"
  done
fi

if wanted primitives; then
  for preset in $presets; do
    read -r -a command <<<"$(program "$preset" primitives_bench)"
    # cpu_time of the median of the repetitions: a busy machine's preemption
    # stays out of it.
    (cd "$(bin "$preset")" && "${command[@]}" . --benchmark_format=csv --benchmark_repetitions=3 \
      --benchmark_report_aggregates_only=true --benchmark_min_time=0.3 2>/dev/null) |
      tr -d '\r' | awk -F, -v p="$preset" '$1 ~ /_median"$/ {
        name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
        key = name == "extEnterCS+extLeaveCS" ? "enter" : name == "extGetFlag" ? "flag" : "bare"
        printf "primitives.%s.%s %s\n", p, key, $4 }' >>"$results"
  done
fi

# The table.
row_format='%-44s %-40s %-34s %7s %8s %s\n'
printf "$row_format" benchmark ours yardstick ratio target ""
row() {  # name ours yardstick ours_number yardstick_number [comparison limit [note]]
  local ratio verdict="" target=""
  ratio=$(awk -v a="$4" -v b="$5" 'BEGIN { if (a != "" && b != "" && b > 0) printf "%.2f", a / b }')
  if [ -n "${6:-}" ]; then
    target="$6 $7"
    verdict=$(awk -v r="$ratio" -v c="$6" -v l="$7" 'BEGIN {
      if (r == "") { print ""; exit }
      ok = (c == ">=") ? r + 0 >= l + 0 : r + 0 <= l + 0; print ok ? "ok" : "MISSED" }')
  fi
  printf "$row_format" "$1" "$2" "$3" "${ratio:--}" "$target" "$verdict${8:-}"
}
label() { case "$1" in linux) echo "native" ;; *) echo "$1 under Wine" ;; esac; }

if wanted download; then
  curl_speed=$(value download.curl.speed)
  for preset in $presets; do
    speed=$(value "download.$preset.speed")
    limit=1.0
    [[ $preset == win* ]] && limit=0.3
    row "DownloadFile ${download_mib} MiB, $(label "$preset")" "$speed MiB/s" "curl, native: $curl_speed MiB/s" \
      "$speed" "$curl_speed" ">=" "$limit"
  done
fi
if wanted memory; then
  for tool in $tools; do
    small=$(value "small.$tool.rss") huge=$(value "huge.$tool.rss")
    name="peak memory 1 GiB vs 1 MiB, $(label "$tool")"
    [ "$tool" = curl ] && name="peak memory 1 GiB vs 1 MiB, curl"
    printf "$row_format" "$name" "$huge KiB vs $small KiB" "" "-" "+2048 KiB" \
      "$(awk -v a="$huge" -v b="$small" 'BEGIN { d = a - b; printf "%+d KiB %s", d, (d <= 2048 ? "ok" : "MISSED") }')"
  done
fi
if wanted update; then
  curl_total=$(fastest update.curl.script)
  curl_split=$(printf 'check %.3f, downloads %.3f, swaps %.3f' "$(fastest update.curl.check)" \
    "$(fastest update.curl.downloads)" "$(fastest update.curl.swaps)")
  printf "$row_format" "curl script: ${update_files} x ${update_mib} MiB" "$(printf '%.3f s' "$curl_total")" \
    "" "" "" "($curl_split)"
  for preset in $presets; do
    terminal_s=$(fastest "update.$preset.terminal") companion_s=$(fastest "update.$preset.companion")
    start=$(fastest "update.$preset.start") checked=$(fastest "update.$preset.checked")
    downloads=$(fastest "update.$preset.downloads")
    split=$(awk -v t="$companion_s" -v s="$start" -v c="$checked" -v d="$downloads" 'BEGIN {
      printf "start %.3f, check %.3f, downloads %.3f, swaps %.3f", s, c - s, d, t - c - d }')
    row "update: terminal's run, $(label "$preset")" "$(printf '%.3f s' "$terminal_s")" \
      "$(printf 'curl script: %.3f s' "$curl_total")" "$terminal_s" "$curl_total" "" ""
    row "update: companion alone, $(label "$preset")" "$(printf '%.3f s' "$companion_s")" \
      "$(printf 'curl script: %.3f s' "$curl_total")" "$companion_s" "$curl_total" "" "" "($split)"
  done
fi
if wanted move && [ -n "$(value move.linux)" ]; then
  mine=$(value move.linux) bare=$(value move.mv)
  row "move ${move_mib} MiB to another volume, native" "$(printf '%.3f s' "$mine")" \
    "$(printf 'mv + sync: %.3f s' "$bare")" "$mine" "$bare"
fi
if wanted log; then
  for threads in 1 8; do
    mine=$(value "log.$threads.write") bare=$(value "log.$threads.fprintf")
    row "Write, $threads thread(s), native" "$mine lines/s" "fprintf+fflush: $bare lines/s" \
      "$mine" "$bare" ">=" 0.67
  done
fi
if wanted primitives; then
  for preset in $presets; do
    bare=$(value "primitives.$preset.bare")
    for key in enter flag; do
      mine=$(value "primitives.$preset.$key")
      name="extEnterCS+extLeaveCS"
      [ "$key" = flag ] && name="extGetFlag"
      row "$name, $(label "$preset")" "$(printf '%.1f ns' "$mine")" \
        "$(printf 'section Enter+Leave: %.1f ns' "$bare")" "$mine" "$bare" "<=" 1.5
    done
  done
fi
