#!/usr/bin/env bash
# Runs the Wine end-to-end check: the driver taskwell_e2e.exe starts taskwell.exe in a Wine
# prefix of its own, on a private X server, and checks it from outside.
#
#   run_e2e.sh <taskwell.exe> <taskwell_e2e.exe> [artifact dir]
#   run_e2e.sh --self <checks.exe> [artifact dir]
#   run_e2e.sh --soak <minutes> <taskwell.exe> <taskwell_soak.exe> [artifact dir]
#
# The second form runs a program that checks itself from inside (the native peer checks) in the
# same prefix and display, with the same time limit. The third runs the soak for that many minutes;
# its time limit is the run plus 180 s.
#
# The artifact directory (default build/e2e-artifacts) receives the driver's screenshots as
# PNG files and the Wine log. Exit code: the driver's (0 only when every check passed);
# 1 when the environment cannot be prepared; 124 when the driver ran out of time.
#
# The programs run in the Wine mode of scripts/setup.sh: the 32-bit programs in a 32-bit prefix, or
# the 64-bit test build in a 64-bit prefix where this machine cannot run 32-bit programs.
#
# Environment: TASKWELL_E2E_WINEPREFIX (prefix, default build/wine-prefix-e2e),
# TASKWELL_E2E_DISPLAY (use this X display instead of a private Xvfb),
# TASKWELL_E2E_TIMEOUT (seconds for the driver, default 420).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../scripts/setup.sh
source "$here/../../scripts/setup.sh"

self=0
soak_minutes=""
if [ "${1:-}" = "--soak" ] && [ $# -ge 2 ]; then
  soak_minutes="$2"
  shift 2
  [[ "$soak_minutes" =~ ^[0-9]+([.][0-9]+)?$ ]] || tw_die "--soak: minutes must be a number, not \"$soak_minutes\""
fi
if [ "${1:-}" = "--self" ]; then
  self=1
  shift
  set -- "$1" "$1" "${2:-}"
  [ -n "$3" ] || set -- "$1" "$2"
fi
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 <taskwell.exe> <taskwell_e2e.exe> [artifact dir] | --self <checks.exe> [artifact dir]" >&2
  exit 2
fi
exe="$(realpath -m "$1")"
driver="$(realpath -m "$2")"
artifacts="$(realpath -m "${3:-$TW_ROOT/build/e2e-artifacts}")"
[ -f "$exe" ] || tw_die "program not found: $exe (build the win32 build first)"
[ -f "$driver" ] || tw_die "driver not found: $driver (build the win32 build first)"
driver_args=("$(tw_winpath "$exe")" "$(tw_winpath "$artifacts")")
[ "$self" -eq 0 ] || driver_args=()
[ -z "$soak_minutes" ] || driver_args+=("$soak_minutes")
limit="${TASKWELL_E2E_TIMEOUT:-420}"
[ -z "$soak_minutes" ] || limit="${TASKWELL_E2E_TIMEOUT:-$(awk -v m="$soak_minutes" 'BEGIN { printf "%d", m * 60 + 180 }')}"
command -v wine >/dev/null 2>&1 || tw_die "wine is not installed (run scripts/setup.sh)"

mkdir -p "$artifacts"
[ "$self" -eq 1 ] || rm -f "$artifacts"/*.bmp "$artifacts"/*.png "$artifacts"/wine.log

tw_wine_session "$(tw_default_e2e_prefix)" 1280x1024x24 "${TASKWELL_E2E_DISPLAY:-}"

if [ "$TW_WINE_MODE" = win64 ]; then
  tw_log "e2e: $exe, the 64-bit test build (not the 32-bit program): $TW_WINE_MODE_WHY"
else
  tw_log "e2e: $exe"
fi
t0=$SECONDS
rc=0
timeout -k 15 "$limit" \
  wine "$driver" "${driver_args[@]}" 2>"$artifacts/wine.log" ||
  rc=$?
if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
  echo "FAIL: driver did not finish within $limit s" >&2
  rc=124
fi
tw_log "e2e driver finished in $((SECONDS - t0)) s with exit code $rc"
if [ -s "$artifacts/wine.log" ]; then
  tw_log "Wine messages (last lines of $artifacts/wine.log):"
  tail -n 20 "$artifacts/wine.log" >&2
fi

# Screenshots as PNG for people to look at.
shopt -s nullglob
for bmp in "$artifacts"/*.bmp; do
  if command -v convert >/dev/null 2>&1 && timeout 60 convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null; then
    rm -f "$bmp"
  fi
done
shots=("$artifacts"/*.png "$artifacts"/*.bmp)
if [ ${#shots[@]} -gt 0 ]; then
  tw_log "screenshots:"
  printf '  %s\n' "${shots[@]}" >&2
fi
exit "$rc"
