# Shell functions for showing the library's real message boxes under Wine on
# a virtual X screen, answering them with keys and photographing them.
# Sourced by tests/scripts/check_real_dialogs.sh and scripts/screenshots.sh.
#
# Wine's shared desktop may have been started by a program without a display,
# so each run gets a Wine desktop of its own (explorer /desktop=...), opened
# on our Xvfb screen under openbox, which draws its frame.

dialogs_x_pids=()

# dialogs_start_x NUMBER: Xvfb on :NUMBER with openbox; exports DISPLAY.
dialogs_start_x() {
  export DISPLAY=":$1"
  Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  dialogs_x_pids+=($!)
  for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 &
  dialogs_x_pids+=($!)
  sleep 0.5
}

dialogs_stop_x() {
  local pid
  for pid in "${dialogs_x_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${dialogs_x_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  dialogs_x_pids=()
}

# dialogs_run_terminal OUTPUT TERMINAL_EXE ARGS...: starts the stand-in
# terminal in a Wine desktop of its own, in the background; its output goes
# to OUTPUT. Sets dialogs_terminal_pid.
dialogs_run_terminal() {
  local output=$1
  shift
  WINEDEBUG=-all wine explorer "/desktop=korvan$$-$RANDOM,640x480" "$@" >"$output" 2>&1 </dev/null &
  dialogs_terminal_pid=$!
}

# dialogs_wait_box CAPTION: waits up to 90 s for a box with that caption.
dialogs_wait_box() {
  timeout 90 xdotool search --sync --name "^$1\$" >/dev/null 2>&1 || return 1
  sleep 1  # drawn and ready for keys
}

# dialogs_watch_window CAPTION FILE: creates FILE once a window with that
# caption shows; runs until killed.
dialogs_watch_window() {
  while ! xdotool search --name "^$1\$" >/dev/null 2>&1; do sleep 0.1; done
  touch "$2"
}

# dialogs_answer KEY: Escape (Cancel) or Return (OK) to the box in front.
dialogs_answer() { xdotool key "$1"; }

# dialogs_wait_terminal: waits up to 120 s for the terminal run to end.
dialogs_wait_terminal() {
  local waited=0
  while kill -0 "$dialogs_terminal_pid" 2>/dev/null; do
    [ $waited -lt 1200 ] || { kill "$dialogs_terminal_pid"; return 1; }
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$dialogs_terminal_pid" 2>/dev/null || true
}

# dialogs_photograph FILE: the box in front, on a margin of the Wine desktop
# it stands on.
dialogs_photograph() {
  local shot desktop background
  shot=$(mktemp --suffix=.png)
  desktop=$(xdotool search --name ' - Wine desktop$' | head -n 1)
  import -window "$desktop" "$shot"
  background=$(/usr/bin/convert "$shot" -format '%[pixel:p{0,0}]' info:)
  /usr/bin/convert "$shot" -trim +repage -bordercolor "$background" -border 20 "$1"
  rm -f "$shot"
}
