#!/usr/bin/env bash
# Runs a command against a private Xvfb server (1920x1080, depth 24, Mesa's software GL) on a
# free display, and stops the server afterwards. The command's exit status is returned.
set -u
if [ $# -eq 0 ]; then
  echo "usage: $0 command [args...]" >&2
  exit 2
fi
fifo=$(mktemp -u /tmp/klomp-xvfb.XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp -noreset 5>"$fifo" 2>/dev/null &
xvfb_pid=$!
display=""
read -r -t 20 display < "$fifo"
rm -f "$fifo"
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  kill "$xvfb_pid" 2>/dev/null
  exit 1
fi
cleanup() { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
trap cleanup EXIT INT TERM
export DISPLAY=":$display"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
