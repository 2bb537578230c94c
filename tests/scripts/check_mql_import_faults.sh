#!/usr/bin/env bash
# The import check must catch the slips an include file can make: each row
# changes one declaration of a copy of the include and expects
# check_mql_imports.sh to refuse it with the given words.
# Usage: check_mql_import_faults.sh INCLUDE_FILE DLL OBJDUMP HOST_HEADER
set -euo pipefail
include=$1 dll=$2 objdump=$3 header=$4
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bits=64
"$objdump" -f "$dll" | grep -q 'pei-i386' && bits=32

# bits | sed expression on the include        | words of the refusal
faults="
any | s/(string url, string waitApp, string files)/(int url, string waitApp, string files)/ | argument 1 is const char16_t* in C: string
any | s/void extSetFlag(int flag, int value)/void extSetFlag(int flag, string value)/   | argument 2 is std::int32_t in C: int
any | s/^int extTryEnterCS(int section)/void extTryEnterCS(int section)/              | extTryEnterCS returns std::int32_t
any | s/^int extLeaveCS(int section);//                                               | extLeaveCS is exported but not declared
any | s/^int extGetFlag(int flag);/int extGetFlag(int flag);\nint XUpdaterProcess(string u, string a, string f, int p);/ | XUpdaterProcess is the companion's
any | s/^int lstrlenA(.*)/int lstrlenA(string text);/                                | lstrlenA: argument 1 is const char* in C
64  | s/^int lstrlenA(long text)/int lstrlenA(int text)/                             | lstrlenA: argument 1 is const char* in C: long
64  | s/^long lstrcpyA(\(.*\), long source)/long lstrcpyA(\1, int source)/          | lstrcpyA: argument 2 is const char* in C: long
64  | s/^long lstrcpyA/int lstrcpyA/                                                  | lstrcpyA returns char*: long
64  | s/^long extGetVersion/int extGetVersion/                                        | extGetVersion returns char*: long
32  | s/^int extGetVersion/long extGetVersion/                                        | extGetVersion returns char*: int
32  | s/^int lstrlenA(int text)/int lstrlenA(long text)/                              | lstrlenA: argument 1 is const char* in C: int
"

checked=0
while IFS='|' read -r width expression words; do
  width=$(echo "$width" | xargs) expression=$(echo "$expression" | sed -E 's/^ +//; s/ +$//')
  words=$(echo "$words" | sed -E 's/^ +//; s/ +$//')
  [ -n "$expression" ] || continue
  [ "$width" = any ] || [ "$width" = $bits ] || continue
  sed -e "$expression" "$include" >"$work/changed.mqh"
  ! cmp -s "$include" "$work/changed.mqh" || { echo "FAIL: '$expression' changes nothing"; exit 1; }
  if output=$("$here/check_mql_imports.sh" "$work/changed.mqh" "$dll" "$objdump" "$header" 2>&1); then
    echo "FAIL: the check passed an include changed by '$expression'"
    exit 1
  fi
  [[ $output == *"$words"* ]] || { echo "FAIL: '$expression' refused for another reason: $output"; exit 1; }
  checked=$((checked + 1))
done <<<"$faults"
echo "$include: the import check refused all $checked changed declarations ($bits-bit)"
