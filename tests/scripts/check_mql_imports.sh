#!/usr/bin/env bash
# Checks the #import declarations of an MQL include file against a built DLL:
# every declared function is exported, every export a terminal program calls
# is declared (XUpdaterProcess, the companion's, must not be), and on 32-bit
# the argument count matches the stdcall decoration "@N" of the DLL's own
# symbol (4 bytes an argument). The text's address from extGetVersion must be
# an int on 32-bit and a long on 64-bit.
# Usage: check_mql_imports.sh INCLUDE_FILE DLL OBJDUMP
set -euo pipefail
include=$1 dll=$2 objdump=$3
fail() { echo "FAIL: $include: $*"; exit 1; }

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[\s*[0-9]*\] \(.*\)$/\1/p')
[ -n "$exports" ] || fail "no export table in $dll"
bits=64
symbols=""
if "$objdump" -f "$dll" | grep 'pei-i386' >/dev/null; then
  bits=32
  symbols=$("$objdump" -t "$dll")
fi

# "type name(arguments);" lines of the library's #import block, comments gone.
declarations=$(sed -n '/^#import "Korvan.Tools.Updater.dll"/,/^#import$/p' "$include" |
  sed -e 's#//.*##' | grep -E '^[a-z].*\(.*\);' || true)
[ -n "$declarations" ] || fail "no #import block for Korvan.Tools.Updater.dll"

declared=()
while IFS= read -r line; do
  type=$(echo "$line" | awk '{print $1}')
  name=$(echo "$line" | sed -E 's/^[a-z]+ +([A-Za-z0-9_]+)\(.*/\1/')
  arguments=$(echo "$line" | sed -E 's/^[^(]*\((.*)\);.*/\1/')
  count=0
  [ -z "${arguments// /}" ] || count=$(($(echo "$arguments" | tr -cd ',' | wc -c) + 1))
  echo "$exports" | grep -qx "$name" || fail "$name is not exported by $dll"
  if [ $bits = 32 ]; then
    echo "$symbols" | grep -E "[ _]$name@$((count * 4))\$" >/dev/null ||
      fail "$name takes $count arguments here, which is not its stdcall decoration @$((count * 4))"
  fi
  if [ "$name" = extGetVersion ]; then
    want=long; [ $bits = 32 ] && want=int
    [ "$type" = "$want" ] || fail "extGetVersion returns an address: $want on $bits-bit, not $type"
  fi
  declared+=("$name")
done <<<"$declarations"

for name in $exports; do
  case "$name" in _DllMain@12) continue ;; esac
  listed=0
  for d in "${declared[@]}"; do [ "$d" = "$name" ] && listed=1; done
  if [ "$name" = XUpdaterProcess ]; then
    [ $listed = 0 ] || fail "XUpdaterProcess is the companion's and must not be declared"
  else
    [ $listed = 1 ] || fail "$name is exported but not declared"
  fi
done
echo "$include: ${#declared[@]} declarations match $dll ($bits-bit)"
