#!/usr/bin/env bash
# Builds Taskwell for Win32 and runs it under Wine as Windows 98, in Wine's virtual desktop.
# On a machine that cannot run 32-bit programs it runs the 64-bit test build of the same sources
# (build/win64) instead, and says so (scripts/setup.sh, the Wine mode).
#
# With an X display ($DISPLAY) the desktop opens there and the script waits until the
# program exits. Without one it starts its own Xvfb, takes a screenshot of the screen
# (build/screenshots/taskwell.png) and keeps the program running until Ctrl+C.
#
# Environment:
#   TASKWELL_RUN_SECONDS  stop the program after this many seconds (default: when CI is set,
#                         right after the screenshot; otherwise never)
#   TASKWELL_SHOT_DELAY   seconds between start and screenshot (default 8)
#   TASKWELL_SCREENSHOT   screenshot path (default build/screenshots/taskwell.png)
#   TASKWELL_WINEPREFIX   Wine prefix (default build/wine-prefix)
#   TASKWELL_SKIP_BUILD=1 run the existing build/win32/taskwell.exe (build/win64/taskwell.exe in
#                         the 64-bit mode) without building
set -euo pipefail

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/setup.sh"

tw_install_deps
# The Wine mode's line (above) says which build runs and why.
if [ "$TW_WINE_MODE" = win64 ]; then
  if [ "${TASKWELL_SKIP_BUILD:-0}" != "1" ]; then tw_build_windows win64 taskwell; fi
elif [ "${TASKWELL_SKIP_BUILD:-0}" != "1" ]; then
  tw_build_win32
fi
exe="$(tw_wine_build_dir)/taskwell.exe"
[ -f "$exe" ] || tw_die "$exe not found"
prefix="$(tw_default_prefix)"
tw_prefix_setup "$prefix"

mkdir -p "$TW_ROOT/build/screenshots"
log="$TW_ROOT/build/wine-run.log"
shot="${TASKWELL_SCREENSHOT:-$TW_ROOT/build/screenshots/taskwell.png}"
delay="${TASKWELL_SHOT_DELAY:-8}"
run_seconds="${TASKWELL_RUN_SECONDS:-}"
if [ -z "$run_seconds" ] && [ -n "${CI:-}" ]; then run_seconds=0; fi

headless=0
if ! tw_display_ok; then
  headless=1
  tw_start_xvfb 1024x768x24
fi

app_pid=""
cleanup() {
  local rc=$?
  trap - EXIT INT TERM
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
    # Ends every process of this prefix: the program and Wine's desktop.
    tw_wineserver_kill
  fi
  [ "$headless" = 1 ] && tw_wineserver_kill
  tw_stop_xvfb
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Windows 98 for this program (the prefix says so; a test run may have changed it).
tw_wine_as_win98 taskwell.exe

tw_log "starting $exe under Wine (Windows 98) on $DISPLAY; Wine log: $log"
(cd "$(dirname "$exe")" && exec wine "$exe") >"$log" 2>&1 &
app_pid=$!

# Give the program time to open its window; stop early if it ends.
for ((i = 0; i < delay * 2; i++)); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.5
done
if ! kill -0 "$app_pid" 2>/dev/null; then
  rc=0
  wait "$app_pid" || rc=$?
  tw_log "taskwell.exe ended within ${delay} s (exit code $rc); last lines of $log:"
  tail -n 20 "$log" >&2 || true
  exit 1
fi

if [ "$headless" = 1 ]; then
  if timeout 60 import -window root "$shot" 2>/dev/null; then
    tw_log "screenshot written to $shot"
  else
    tw_log "warning: screenshot failed"
  fi
fi

if [ -n "$run_seconds" ]; then
  tw_log "stopping after ${run_seconds} s"
  sleep "$run_seconds"
  # Ask the program to close as a user would, then make sure nothing is left.
  tw_wine_timeout 30 taskkill /im taskwell.exe >/dev/null 2>&1 || true
  for ((i = 0; i < 30; i++)); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.5
  done
  exit 0
fi

if [ "$headless" = 1 ]; then
  tw_log "running headless on $DISPLAY; press Ctrl+C to stop"
else
  tw_log "running; close the window (or press Ctrl+C) to stop"
fi
rc=0
wait "$app_pid" || rc=$?
app_pid=""
tw_log "taskwell.exe exited with code $rc"
exit "$rc"
