#!/usr/bin/env bash
# Checks the #import declarations of an MQL include file against a built DLL
# and the C declarations the DLL was built from: every declared function is
# exported, every export a terminal program calls is declared
# (XUpdaterProcess, the companion's, must not be), each result and parameter
# has the MQL type of its C type at the DLL's width, and on 32-bit the
# argument count matches the stdcall decoration "@N" of the DLL's own symbol
# (4 bytes an argument). The kernel32.dll block is checked the same way
# against Windows' declarations of the functions it imports.
# Usage: check_mql_imports.sh INCLUDE_FILE DLL OBJDUMP HOST_HEADER
set -euo pipefail
include=$1 dll=$2 objdump=$3 header=$4
fail() { echo "FAIL: $include: $*"; exit 1; }

# The MQL type of each C type, on 32 and on 64 bits. A string arrives as a
# UTF-16 pointer; an address is an int on 32 bits and a long on 64, or a
# uchar array passed by reference where the function writes into it.
type_table='
const char16_t*  string           string
std::int32_t     int              int
int              int              int
std::uint32_t    uint             uint
char*            int|uchar&[]     long|uchar&[]
const char*      int|uchar&[]     long|uchar&[]
void             void             void
'
# kernel32.dll's functions as Windows declares them.
kernel32_declarations='
int lstrlenA(const char* text);
char* lstrcpyA(char* destination, const char* source);
'

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[\s*[0-9]*\] \(.*\)$/\1/p')
[ -n "$exports" ] || fail "no export table in $dll"
bits=64
symbols=""
if "$objdump" -f "$dll" | grep 'pei-i386' >/dev/null; then
  bits=32
  symbols=$("$objdump" -t "$dll")
fi

trim() { sed -E 's/^ +//; s/ +$//; s/  +/ /g'; }
# The C declarations "type name(type name, ...);", one a line.
library_declarations=$(tr '\n' ' ' <"$header" | sed 's/;/;\n/g' | grep 'KORVAN_API' |
  sed -E 's/.*KORVAN_API +//; s/KORVAN_CALL +//' | trim)

# The MQL type a C type must have here; empty when the table lacks it.
mql_type_of() {
  echo "$type_table" | awk -v c="$1" -v bits=$bits '
    { n = NF; type = $1; for (i = 2; i <= n - 2; i++) type = type " " $i }
    type == c { print (bits == 32 ? $(n - 1) : $n) }'
}
# "uchar &destination[]" -> "uchar&[]", "const string name" -> "string".
mql_parameter_type() {
  echo "$1" | trim | sed -E 's/^const //; s/^([a-z]+) *&[A-Za-z0-9_]+ *\[\]$/\1\&[]/; s/^([a-z]+) +[A-Za-z0-9_]+$/\1/'
}
# "const char16_t* url" -> "const char16_t*".
c_parameter_type() { echo "$1" | trim | sed -E 's/ *[A-Za-z_][A-Za-z0-9_]*$//; s/ +\*/*/'; }
parameters_of() { echo "$1" | sed -E 's/^[^(]*\((.*)\);.*/\1/' | tr ',' '\n' | trim | grep -v '^$' || true; }

# Compares one MQL declaration with the C declaration of the same name.
check_declaration() {
  local line=$1 c_declarations=$2
  local name c_line mql_return c_return want
  name=$(echo "$line" | sed -E 's/^[a-z]+ +([A-Za-z0-9_]+)\(.*/\1/')
  c_line=$(echo "$c_declarations" | grep -E "[ *]$name\(" || true)
  [ -n "$c_line" ] || fail "$name has no C declaration to compare with"
  mql_return=$(echo "$line" | awk '{print $1}')
  c_return=$(echo "$c_line" | sed -E "s/ *$name\(.*//; s/ +\*/*/")
  want=$(mql_type_of "$c_return")
  [ -n "$want" ] || fail "$name returns the C type '$c_return', which the type table lacks"
  [[ "|$want|" == *"|$mql_return|"* ]] ||
    fail "$name returns $c_return: $want on $bits-bit, not $mql_return"
  mapfile -t mql_parameters < <(parameters_of "$line")
  mapfile -t c_parameters < <(parameters_of "$c_line")
  [ ${#mql_parameters[@]} = ${#c_parameters[@]} ] ||
    fail "$name takes ${#c_parameters[@]} arguments in C, ${#mql_parameters[@]} here"
  local i mql c
  for i in "${!c_parameters[@]}"; do
    mql=$(mql_parameter_type "${mql_parameters[$i]}")
    c=$(c_parameter_type "${c_parameters[$i]}")
    want=$(mql_type_of "$c")
    [ -n "$want" ] || fail "$name: the C type '$c' is missing from the type table"
    [[ "|$want|" == *"|$mql|"* ]] ||
      fail "$name: argument $((i + 1)) is $c in C: $want on $bits-bit, not $mql"
  done
}

# "type name(arguments);" lines of an #import block, comments gone.
import_block() {
  sed -n "/^#import \"$1\"/,/^#import\$/p" "$include" | sed -e 's#//.*##' |
    grep -E '^[a-z].*\(.*\);' || true
}

declarations=$(import_block Korvan.Tools.Updater.dll)
[ -n "$declarations" ] || fail "no #import block for Korvan.Tools.Updater.dll"
declared=()
while IFS= read -r line; do
  name=$(echo "$line" | sed -E 's/^[a-z]+ +([A-Za-z0-9_]+)\(.*/\1/')
  echo "$exports" | grep -qx "$name" || fail "$name is not exported by $dll"
  [ "$name" != XUpdaterProcess ] || fail "XUpdaterProcess is the companion's and must not be declared"
  check_declaration "$line" "$library_declarations"
  if [ $bits = 32 ]; then
    count=$(parameters_of "$line" | wc -l)
    echo "$symbols" | grep -E "[ _]$name@$((count * 4))\$" >/dev/null ||
      fail "$name takes $count arguments here, which is not its stdcall decoration @$((count * 4))"
  fi
  declared+=("$name")
done <<<"$declarations"

kernel32=$(import_block kernel32.dll)
while IFS= read -r line; do
  [ -z "$line" ] || check_declaration "$line" "$kernel32_declarations"
done <<<"$kernel32"

for name in $exports; do
  case "$name" in _DllMain@12) continue ;; esac
  listed=0
  for d in "${declared[@]}"; do [ "$d" = "$name" ] && listed=1; done
  [ "$name" = XUpdaterProcess ] || [ $listed = 1 ] || fail "$name is exported but not declared"
done
echo "$include: ${#declared[@]} declarations and $(echo "$kernel32" | grep -c . || true) of kernel32 match $dll ($bits-bit)"
