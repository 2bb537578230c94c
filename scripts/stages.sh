# shellcheck shell=bash
# Sourced by the first-run scripts so that they talk: each stage ends with
# one line saying how long it took, and a stage still running after 30 s says
# so every 30 s, so that nobody takes a long build for a hang.
#   stage_begin PREFIX      once, at the script's start
#   stage NAME COMMAND...   runs COMMAND, its output into a log shown on failure
#   stage_run NAME COMMAND... the same without the closing line
#   stage_line TEXT         a line of the script's own, with the time so far
# A stage that is a shell function relies on `set -e` only when the stage is
# called plainly: in a condition (if, ||, &&) bash turns it off inside.

stage_prefix=${stage_prefix:-}
stage_started=$(date +%s)
stage_logs=${stage_logs:-$(mktemp -u -d "${TMPDIR:-/tmp}/stages.XXXXXX")}

stage_begin() { stage_prefix=$1; stage_started=$(date +%s); }

stage_clock() {
  local elapsed=$(($(date +%s) - stage_started))
  printf '[%2d:%02d]' $((elapsed / 60)) $((elapsed % 60))
}

stage_line() { echo "$(stage_clock) $stage_prefix: $*"; }

# The ticker's sleep keeps no output open, so that a pipe reading this
# script's output ends with the script.
stage_ticker() {  # name start
  while :; do
    sleep 30 >/dev/null 2>&1
    stage_line "$1 ... $(($(date +%s) - $2)) s so far"
  done
}

# Runs COMMAND as a stage without its closing line: sets stage_seconds, and
# on failure shows the end of its output and returns its status.
stage_run() {  # name command...
  local name=$1 start status ticker log
  shift
  start=$(date +%s)
  mkdir -p "$stage_logs"
  log="$stage_logs/$(printf %s "$name" | tr -c 'A-Za-z0-9_.-' '_').log"
  stage_ticker "$name" "$start" &
  ticker=$!
  # In a job of its own, so that the ticker runs beside it. Without job
  # control the job keeps the terminal, where sudo may ask for a password.
  status=0
  "$@" >"$log" 2>&1 &
  wait $! || status=$?
  kill "$ticker" 2>/dev/null
  wait "$ticker" 2>/dev/null || true
  stage_seconds=$(($(date +%s) - start))
  if [ $status -ne 0 ]; then
    stage_line "$name FAILED after $stage_seconds s; the end of its output ($log):"
    tail -n 40 "$log" >&2
    return $status
  fi
  rm -f "$log"
  rmdir "$stage_logs" 2>/dev/null || true
}

stage() {  # name command...
  # Not "stage_run || return": in a condition `set -e` is off for the whole
  # call, the stage's own commands included.
  stage_run "$@"
  local status=$?
  [ $status -eq 0 ] || return $status
  stage_line "$1 ($stage_seconds s)"
}
