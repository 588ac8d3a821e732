#!/usr/bin/env bash
# One Xvfb server (1920x1080, depth 24, Mesa's software GL) shared by the cases of one test
# executable. CTest starts and stops it as a fixture (tests/CMakeLists.txt), so every case runs
# in a fresh process of its own without paying for a server of its own.
#   test-display.sh start FILE       start a server; FILE records its display and process id
#   test-display.sh stop FILE        stop that server
#   test-display.sh run FILE CMD...  run CMD on that server, with Escape released first (a case
#                                    that failed while holding it must not end the next one);
#                                    without a live server (a case run by hand, or CTest's
#                                    listing) CMD gets a private one from tools/with-xvfb.sh
set -u
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:-}
file=${2:-}
if [ -z "$mode" ] || [ -z "$file" ]; then
  echo "usage: $0 start|stop FILE, or $0 run FILE command [args...]" >&2
  exit 2
fi
shift 2

alive() {
  [ -s "$file" ] || return 1
  read -r display pid < "$file" || return 1
  kill -0 "$pid" 2>/dev/null
}

case "$mode" in
  start)
    if alive; then
      exit 0
    fi
    fifo=$(mktemp -u /tmp/klomp-xvfb.XXXXXX)
    mkfifo "$fifo"
    # Detached from CTest's output pipes, so the fixture's test ends while the server runs.
    setsid Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp -noreset \
      5>"$fifo" </dev/null >/dev/null 2>&1 &
    pid=$!
    display=""
    read -r -t 30 display < "$fifo"
    rm -f "$fifo"
    if [ -z "$display" ]; then
      echo "test-display: Xvfb did not start" >&2
      kill "$pid" 2>/dev/null
      exit 1
    fi
    echo ":$display $pid" > "$file"
    ;;
  stop)
    if alive; then
      kill "$pid" 2>/dev/null
    fi
    rm -f "$file"
    ;;
  run)
    if [ $# -eq 0 ]; then
      echo "test-display: no command" >&2
      exit 2
    fi
    if alive; then
      export DISPLAY="$display"
      export LIBGL_ALWAYS_SOFTWARE=1
      xdotool keyup Escape 2>/dev/null
      exec "$@"
    fi
    exec "$here/with-xvfb.sh" "$@"
    ;;
  *)
    echo "test-display: unknown mode $mode" >&2
    exit 2
    ;;
esac
