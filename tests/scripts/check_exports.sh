#!/usr/bin/env bash
# Checks the export table of a built library: exactly the ten names at their
# ordinals on Windows (imports from system DLLs only), the nine functions on
# Linux.
set -euo pipefail
kind=$1 library=$2 tool=$3
fail() { echo "FAIL: $*"; exit 1; }

if [ "$kind" = windows ]; then
  dump=$("$tool" -p "$library")
  expected="1 _DllMain@12
2 XCheckForUpdates
3 XLaunchUpdater
4 XUpdaterProcess
5 extEnterCS
6 extGetFlag
7 extGetVersion
8 extLeaveCS
9 extSetFlag
10 extTryEnterCS"
  # objdump lists "[index] name" with index = ordinal - base (base 1).
  actual=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^\s*\[\s*\([0-9]*\)\] \(.*\)$/\1 \2/p' | awk '{print $1 + 1, $2}' | sort -n)
  [ "$actual" = "$expected" ] || fail "exports differ:"$'\n'"$actual"
  base=$(echo "$dump" | sed -n "s/^Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p")
  [ "$base" = 1 ] || fail "ordinal base $base"
  imports=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $imports; do
    case "$dll" in
      kernel32.dll|user32.dll|shell32.dll|ole32.dll|wininet.dll|msvcrt.dll|advapi32.dll) ;;
      *) fail "imports a non-system DLL: $dll" ;;
    esac
  done
  echo "exports and imports OK: $(echo $imports)"
else
  actual=$("$tool" -D --defined-only "$library" | awk '$2 ~ /^[TW]$/ {print $3}' | sort)
  expected=$(printf '%s\n' XCheckForUpdates XLaunchUpdater XUpdaterProcess extEnterCS extGetFlag \
    extGetVersion extLeaveCS extSetFlag extTryEnterCS | sort)
  [ "$actual" = "$expected" ] || fail "exports differ:"$'\n'"$actual"
  echo "exports OK"
fi
