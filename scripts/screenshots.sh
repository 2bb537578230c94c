#!/usr/bin/env bash
# Photographs the boxes a user of the 32-bit DLL sees, under Wine on a
# virtual X screen: the confirmation, "Updater Information", "Updater
# Warning", the "Updater Files" box of a manifest that cannot be fetched, and
# the companion's "Updater Progress" window of a slow download.
# Writes docs/dialog-*.png. Usage: scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
export WINEDEBUG=-all
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" >/dev/null
bin=$root/build/win32/bin
source tests/scripts/wine_dialogs.sh

shift_by=${KORVAN_TEST_PORT_SHIFT:-0}
port=$((18097 + shift_by))
work=$(mktemp -d)
cleanup() {
  dialogs_stop_x
  python3 tests/servers/test_servers.py stop --state "$work/servers" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# A release with a newer file, and one whose newer file is missing.
mkdir -p "$work/www/release" "$work/www/broken"
echo "Acme expert 1.1.0" >"$work/www/release/Acme.ex4"
for release in release broken; do
  echo '{"Files": [{"name": "Acme.ex4", "version": 1, "release": 1, "build": 0},
                   {"name": "Acme.Tools.dll", "version": 2, "release": 1, "build": 0}]}' \
    >"$work/www/$release/updateinfo.txt"
done
cp "$work/www/release/Acme.ex4" "$work/www/release/Acme.Tools.dll"
# A release the control server hands out slowly.
mkdir -p "$work/www/slow"
cp "$work/www/release/updateinfo.txt" "$work/www/slow/"
head -c 3000000 /dev/zero >"$work/www/slow/Acme.ex4"
cp "$work/www/slow/Acme.ex4" "$work/www/slow/Acme.Tools.dll"
python3 tests/servers/test_servers.py start --state "$work/servers" --www "$work/www" \
  --nginx-port "$port" --control-port "$((port + 1))" --nginx "$(command -v nginx || echo /usr/sbin/nginx)" >/dev/null

terminal=$work/terminal
mkdir -p "$terminal/MQL4/Libraries" "$terminal/MQL4/Experts"
cp "$bin/Korvan.Tools.Updater.dll" "$bin/KorvanUpdater.exe" "$terminal/MQL4/Libraries/"
files='{"Files":[{"name":"/MQL4/Experts/Acme.ex4","version":1,"release":0,"build":0},{"name":"/MQL4/Libraries/Acme.Tools.dll","version":2,"release":0,"build":0}]}'
run_terminal() {  # base address
  echo "Acme expert 1.0.0" >"$terminal/MQL4/Experts/Acme.ex4"
  echo "Acme tools 2.0.0" >"$terminal/MQL4/Libraries/Acme.Tools.dll"
  dialogs_run_terminal "$work/output" "$bin/KorvanDemoTerminal.exe" \
    "$(winepath -w "$terminal/MQL4/Libraries" 2>/dev/null)" "$1" \
    "$(winepath -w "$terminal/terminal.exe" 2>/dev/null)" "$files"
}
photograph() {  # caption file
  dialogs_wait_box "$1" || { echo "screenshots: no \"$1\" box" >&2; cat "$work/output" >&2; exit 1; }
  dialogs_photograph "docs/$2"
  echo "screenshots: docs/$2"
  dialogs_answer Return
}

dialogs_start_x "$((150 + shift_by / 1000))"
run_terminal "http://127.0.0.1:$port/release"
photograph "New version of files available" dialog-confirmation.png
photograph "Updater Information" dialog-information.png
dialogs_wait_terminal
run_terminal "http://127.0.0.1:$port/broken"
dialogs_wait_box "New version of files available" && dialogs_answer Return
photograph "Updater Warning" dialog-warning.png
dialogs_wait_terminal
run_terminal "http://127.0.0.1:$port/missing"
photograph "Updater Files" dialog-files-failure.png
dialogs_wait_terminal
run_terminal "http://127.0.0.1:$((port + 1))/faulty/slow/screenshots-$$/slow"
dialogs_wait_box "New version of files available" && dialogs_answer Return
sleep 2  # some of the file received
photograph "Updater Progress" dialog-progress.png
dialogs_wait_terminal
