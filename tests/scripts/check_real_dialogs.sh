#!/usr/bin/env bash
# The real message boxes under Wine, answered with keys as a user would: the
# confirmation of XCheckForUpdates answered with Escape gives -1 and changes
# nothing; answered with Return it gives 1, the companion installs the newer
# file without a progress window (it is fast) and its "Updater Information"
# box follows. From a slow server the companion's "Updater Progress" window
# appears, and Escape there cancels: -4, no ".new", the old file in place.
# Usage: check_real_dialogs.sh BIN_DIR WWW_DIR NGINX_PORT DISPLAY_NUMBER
# (the control server listens on NGINX_PORT + 1)
set -euo pipefail
bin=$1 www=$2 port=$3 display=$4
source "$(dirname "$0")/wine_dialogs.sh"
work=$(mktemp -d)
served=real-dialogs-$$
cleanup() {
  dialogs_stop_x
  rm -rf "$work" "${www:?}/$served"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/output" >&2 || true; exit 1; }

mkdir -p "$www/$served"
echo "Acme expert 1.1.0" >"$www/$served/Acme.ex4"
echo '{"Files": [{"name": "Acme.ex4", "version": 1, "release": 1, "build": 0}]}' \
  >"$www/$served/updateinfo.txt"

terminal=$work/terminal
mkdir -p "$terminal/MQL4/Libraries" "$terminal/MQL4/Experts"
cp "$bin/Korvan.Tools.Updater.dll" "$bin/KorvanUpdater.exe" "$terminal/MQL4/Libraries/"
echo "Acme expert 1.0.0" >"$terminal/MQL4/Experts/Acme.ex4"
run_terminal() {  # [base address]
  dialogs_run_terminal "$work/output" "$bin/KorvanDemoTerminal.exe" \
    "$(winepath -w "$terminal/MQL4/Libraries" 2>/dev/null)" "${1:-http://127.0.0.1:$port/$served}" \
    "$(winepath -w "$terminal/terminal.exe" 2>/dev/null)" \
    '{"Files":[{"name":"/MQL4/Experts/Acme.ex4","version":1,"release":0,"build":0}]}'
}

dialogs_start_x "$display"

run_terminal
dialogs_wait_box "New version of files available" || fail "no confirmation box"
dialogs_answer Escape
dialogs_wait_terminal || fail "the terminal did not end after Cancel"
grep -q "XCheckForUpdates: -1" "$work/output" || fail "Cancel did not give -1"
grep -q "1.0.0" "$terminal/MQL4/Experts/Acme.ex4" || fail "Cancel changed the file"

run_terminal
dialogs_wait_box "New version of files available" || fail "no confirmation box"
# Any progress window of the fast update is noticed.
(dialogs_watch_window "Updater Progress" "$work/progress-seen") &
watcher=$!
dialogs_answer Return
dialogs_wait_box "Updater Information" || fail "no information box from the companion"
kill "$watcher" 2>/dev/null || true
wait "$watcher" 2>/dev/null || true
[ ! -e "$work/progress-seen" ] || fail "a fast update showed the progress window"
dialogs_answer Return
dialogs_wait_terminal || fail "the terminal did not end after the update"
grep -q "XCheckForUpdates: 1" "$work/output" || fail "OK did not give 1"
grep -q "XLaunchUpdater: 1" "$work/output" || fail "the update did not install 1 file"
cmp -s "$terminal/MQL4/Experts/Acme.ex4" "$www/$served/Acme.ex4" || fail "the file was not updated"

# From a slow server: the window, and Escape in it.
head -c 200000 /dev/urandom >"$www/$served/Acme.ex4"
echo "Acme expert 1.0.0" >"$terminal/MQL4/Experts/Acme.ex4"
run_terminal "http://127.0.0.1:$((port + 1))/faulty/slow/$$/$served"
dialogs_wait_box "New version of files available" || fail "no confirmation box (slow server)"
dialogs_answer Return
dialogs_wait_box "Updater Progress" || fail "no progress window on a slow server"
dialogs_answer Escape
dialogs_wait_terminal || fail "the terminal did not end after the update was cancelled"
grep -q "XLaunchUpdater: -4" "$work/output" || fail "Escape in the progress window did not give -4"
grep -q "1.0.0" "$terminal/MQL4/Experts/Acme.ex4" || fail "the cancelled update changed the file"
[ ! -e "$terminal/MQL4/Experts/Acme.ex4.new" ] || fail "the cancelled update left its .new"
[ ! -e "$terminal/MQL4/Experts/Acme.ex4.old" ] || fail "the cancelled update left an .old"
echo "real dialogs: Cancel gave -1, OK gave 1 and the update followed without a progress window;" \
  "a slow update showed it and Escape gave -4"
