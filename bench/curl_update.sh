#!/usr/bin/env bash
# The yardstick of the update benchmark: what a plain script does for the
# same update. It fetches the manifest, fetches every file with the curl
# command line beside the installed one under ".new" and moves it into place.
# Prints the seconds of each phase: "check=", "downloads=", "swaps=".
#
# Usage: bench/curl_update.sh URL FOLDER COUNT
set -euo pipefail
url=$1 folder=$2 count=$3
now() { date +%s.%N; }
fetch() { curl -sS --fail --noproxy '*' -o "$2" "$1"; }

start=$(now)
manifest=$(mktemp)
fetch "$url/updateinfo.txt" "$manifest"
grep -q '"Files"' "$manifest"
rm -f "$manifest"
checked=$(now)
for i in $(seq -w 1 "$count"); do fetch "$url/file$i.bin" "$folder/file$i.bin.new"; done
downloaded=$(now)
for i in $(seq -w 1 "$count"); do mv -f "$folder/file$i.bin.new" "$folder/file$i.bin"; done
swapped=$(now)
echo "check=$(echo "$checked - $start" | bc)"
echo "downloads=$(echo "$downloaded - $checked" | bc)"
echo "swaps=$(echo "$swapped - $downloaded" | bc)"
