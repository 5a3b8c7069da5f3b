#!/usr/bin/env bash
# The real program: its answers without a display, and its window under a real X server,
# running a measurement with receiver 2 on UDP until SIGTERM closes it in order (exit 0).
# Usage: program_smoke_test.sh PROGRAM
set -uo pipefail
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" 2>&1)
rc=$?
[[ $rc -eq 1 && $out == *"graphical display is needed"* ]] || fail "no display: rc $rc, '$out'"
# A display that names no running X server, locally or over TCP: one sentence, exit 1.
n=73
while [[ -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
for display in ":$n" "unix:$n.0" "127.0.0.1:$n"; do
  out=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" "$program" 2>&1)
  rc=$?
  [[ $rc -eq 1 && $out == "quorvex: the graphical display $display cannot be opened ("*"); for a headless look, xvfb-run scripts/run works." ]] ||
    fail "display $display: rc $rc, '$out'"
done
[[ $(env -u DISPLAY "$program" --version) == "Quorvex 0.3" ]] || fail "--version"
# grep reads the text to its end: with -q it would leave at the first match, and the
# program's later writes would meet a closed pipe.
env -u DISPLAY "$program" --help | grep -- "--receiver2 udp:FORMAT" >/dev/null || fail "--help"
# The build's marker keeps the built program's files beside it.
env -u DISPLAY "$program" --help | grep -x -- "  settings  $(dirname "$program")/quorvex.ini" >/dev/null ||
  fail "--help names no settings beside the program"
out=$("$program" --receiver1 nonsense 2>&1)
rc=$?
[[ $rc -eq 2 && $out == *"is not a receiver set-up"* ]] || fail "bad option: rc $rc, '$out'"

# Under Xvfb: start, run for a while, then SIGTERM.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  QT_QPA_PLATFORM=xcb "$0" --receiver2 "udp:*" --start &
  pid=$!
  sleep 4
  kill -0 $pid || exit 3
  kill -TERM $pid
  wait $pid
' "$program"
rc=$?
[[ $rc -eq 0 ]] || fail "the window run ended with $rc"
echo "program smoke test passed"
