#!/usr/bin/env bash
# The release archive, used as a vendor uses it: unpacked, its publisher and
# publish script put a signed release on its nginx site, and its Linux library
# and its 32-bit DLL (under Wine) each run a whole update from the unpacked
# files, checking the signature and the files' SHA-256; an edited manifest is
# refused.
# The stand-in terminal comes from the build.
# Usage: check_package.sh ZIP
set -euo pipefail
zip=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
port=$((18095 + ${KORVAN_TEST_PORT_SHIFT:-0}))
export WINEDEBUG=-all
work=$(mktemp -d)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: package: $*" >&2; exit 1; }

unzip -q "$zip" -d "$work/unpacked"
package=$(echo "$work"/unpacked/korvan-updater-*)
for f in MQL4/Libraries/Korvan.Tools.Updater.dll MQL4/Libraries/KorvanUpdater.exe \
         MQL5/Libraries/Korvan.Tools.Updater.dll MQL5/Libraries/KorvanUpdater.exe \
         MQL4/Include/KorvanUpdater.mqh MQL5/Include/KorvanUpdater.mqh \
         publisher/korvan-publish publisher/korvan-publish.exe publisher/korvan-publish64.exe \
         linux/libKorvan.Tools.Updater.so linux/KorvanUpdater \
         server/nginx/korvan-updates.conf server/publish-release.sh README.md; do
  [ -f "$package/$f" ] || fail "$f missing"
done

# The vendor's release: a file that cannot tell its version and a 32-bit DLL
# that can.
release=$work/release
mkdir -p "$release"
echo "Acme expert 1.1.0" >"$release/Acme.ex4"
cp "$root/build/win32/bin/version_both.dll" "$release/Acme.Tools.dll"

# The packaged site on a loopback port, serving a scratch root.
srv=$work/srv
. "$(dirname "$0")/shipped_site.sh"
write_shipped_site "$package/server/nginx/korvan-updates.conf" "$port" "$srv" "$work"

# Without Wine, a Windows DLL needs --version, and the refusal says why.
if env PATH=/nonexistent "$package/publisher/korvan-publish" "$release" --version Acme.ex4=1.1.0 \
    >"$work/no-wine" 2>&1; then
  fail "a DLL's version without Wine"
fi
grep -q "Acme.Tools.dll is unknown (Wine is not installed" "$work/no-wine" || fail "$(cat "$work/no-wine")"
[ ! -e "$release/updateinfo.txt" ] || fail "a refused release has a manifest"

# The vendor's key, without a password for the test.
minisign -G -W -p "$work/acme.pub" -s "$work/acme.key" >/dev/null
public_key=$(sed -n 2p "$work/acme.pub")

unset KORVAN_PUBLISH
published=$(bash "$package/server/publish-release.sh" "$release" "$srv" acme --version Acme.ex4=1.1.0 \
  --sign "$work/acme.key" --expires 30)
echo "$published"
if command -v wine >/dev/null; then
  echo "$published" | grep -q "Acme.Tools.dll  4.5.1  read from the file by korvan-publish.exe under Wine" ||
    fail "the DLL's version was not read under Wine"
  # Each Windows build reads its own bitness and asks the other for the rest.
  mkdir -p "$work/both"
  cp "$root/build/win32/bin/version_both.dll" "$work/both/Acme32.dll"
  cp "$root/build/win64/bin/version_both.dll" "$work/both/Acme64.dll"
  both=$(wine "$package/publisher/korvan-publish.exe" "$work/both" 2>&1 | tr -d "\r")
  echo "$both" | grep -q "Acme32.dll  4.5.1  read from the file$" || fail "32-bit DLL: $both"
  echo "$both" | grep -q "Acme64.dll  4.5.1  read from the file by korvan-publish64.exe" ||
    fail "64-bit DLL: $both"
fi

/usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.1
done

url="http://127.0.0.1:$port/acme"
files='{"PublicKey":"'"$public_key"'","Files":[{"name":"/MQL4/Experts/Acme.ex4","version":1,"release":0,"build":0},{"name":"/MQL4/Libraries/Acme.Tools.dll","version":4,"release":0,"build":0}]}'
update() {  # label libraries_from updated_count runner...; the terminal's folder is $work/$label
  local label=$1 from=$2 count=$3
  shift 3
  local terminal=$work/$label
  mkdir -p "$terminal/MQL4/Libraries" "$terminal/MQL4/Experts"
  cp "$from"/* "$terminal/MQL4/Libraries/"
  echo "Acme expert 1.0.0" >"$terminal/MQL4/Experts/Acme.ex4"
  echo "an old build" >"$terminal/MQL4/Libraries/Acme.Tools.dll"
  local libraries=$terminal/MQL4/Libraries app=$terminal/terminal
  if [ "$1" = wine ]; then
    libraries=$(winepath -w "$libraries" 2>/dev/null)
    app=$(winepath -w "$terminal/terminal.exe" 2>/dev/null)
  fi
  local output
  output=$("$@" "$libraries" "$url" "$app" "$files" </dev/null 2>&1) || [ "$count" = 0 ] ||
    fail "$label: $output"
  if [ "$count" = 0 ]; then
    echo "$output" | grep -q "XCheckForUpdates: 0" || fail "$label: $output"
    grep -q "Manifest refused" "$terminal/KorvanUpdaterLog.log" || fail "$label: no refusal logged"
    grep -q "1.0.0" "$terminal/MQL4/Experts/Acme.ex4" || fail "$label: the refused release was installed"
    echo "package: $label refused as it should be"
    return
  fi
  echo "$output" | grep -q "XLaunchUpdater: $count" || fail "$label: $output"
  grep -q "Manifest signature verified: .*expires:" "$terminal/KorvanUpdaterLog.log" ||
    fail "$label: not verified with its expiry"
  cmp -s "$terminal/MQL4/Experts/Acme.ex4" "$release/Acme.ex4" || fail "$label: Acme.ex4 not updated"
  cmp -s "$terminal/MQL4/Libraries/Acme.Tools.dll" "$release/Acme.Tools.dll" ||
    fail "$label: Acme.Tools.dll not updated"
  echo "package: $label updated 2 files from the unpacked archive"
}
update linux "$package/linux" 2 "$root/build/linux/bin/KorvanDemoTerminal"
if command -v wine >/dev/null; then
  update win32 "$package/MQL4/Libraries" 2 wine "$root/build/win32/bin/KorvanDemoTerminal.exe"
fi
# The signed manifest edited on the server is refused.
echo " " >>"$srv/acme/updateinfo.txt"
update tampered "$package/linux" 0 "$root/build/linux/bin/KorvanDemoTerminal"
echo "package: $(basename "$zip") checked"
