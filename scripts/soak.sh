#!/usr/bin/env bash
# Soaks taskwell.exe under Wine: the program at the High update speed for MINUTES (default 20)
# while the soak switches its pages every 3 s, starts and ends 50 processes and opens and closes
# 100 windows a minute, and hangs one window for 10 s every minute.
#
#   bash scripts/soak.sh [MINUTES]
#
# Every 10 s it samples the program's handle count, USER and GDI objects, private memory and
# windows, and probes its main window with a 1 s WM_NULL. After the warm-up (the first quarter of
# the run, at least 30 s) it fits a least-squares slope per figure. It passes when every probe was
# answered and every measured figure is flat: its slope within the larger of a floor and the slope
# that a one-off growth gives in the middle of the fitted span (1.5 x growth / span in minutes):
#   handles, USER and GDI objects   growth 4,     floor 0.5 a minute
#   windows                         growth 2,     floor 0.25 a minute
#   private memory                  growth 96 KB, floor 16 KB a minute
# A 2-minute run's tolerances are 4 objects, 2 windows and 96 KB a minute; a 20-minute run's
# 0.5 objects, 0.25 windows and 16 KB a minute. At High the program ticks 70 to 80 times a minute,
# so a leak of one object per tick is ten times and more over either.
# Under Wine, GetProcessHandleCount answers 0, GetGuiResources fails and another process's
# PrivateUsage is 0: the soak reports those as not measured and does not judge them. The system
# handle table, the process's GDI handle table, its windows, PagefileUsage (Wine: the Unix process's
# anonymous resident memory) and the committed private memory (VirtualQueryEx) stand in for them;
# each is checked against known objects or a known allocation before it is used.
#
# Not part of CI; the CTest test wine_soak (label e2e) runs it for 2 minutes.
#
# Environment:
#   TASKWELL_SOAK_BUILD      Windows build directory (default build/win32, or build/win64 in the
#                            64-bit Wine mode of scripts/setup.sh)
#   TASKWELL_SOAK_WINEPREFIX Wine prefix (default build/wine-prefix-soak, apart from the tests')
#   TASKWELL_SOAK_ARTIFACTS  where soak-result.txt, soak-samples.csv and wine.log go
#                            (default build/soak-artifacts)
#   TASKWELL_SKIP_BUILD=1    use the existing build without building
# Exit code: the soak's (0 only on a pass); 2 for a bad MINUTES.
set -euo pipefail

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/setup.sh"

minutes="${1:-20}"
if ! [[ "$minutes" =~ ^[0-9]+([.][0-9]+)?$ ]] || ! awk -v m="$minutes" 'BEGIN { exit !(m >= 1) }'; then
  echo "usage: $0 [MINUTES]   (a number of minutes, at least 1; default 20)" >&2
  exit 2
fi

tw_install_deps
build="$(realpath -m "${TASKWELL_SOAK_BUILD:-$(tw_wine_build_dir)}")"
artifacts="$(realpath -m "${TASKWELL_SOAK_ARTIFACTS:-$TW_ROOT/build/soak-artifacts}")"
export TASKWELL_E2E_WINEPREFIX="${TASKWELL_SOAK_WINEPREFIX:-$TW_ROOT/build/wine-prefix-soak}"

if [ "${TASKWELL_SKIP_BUILD:-0}" != "1" ]; then
  # Only the program and the soak: the soak needs nothing else of the build.
  tw_log "building taskwell.exe and taskwell_soak.exe in $build"
  tw_build_windows_in "$TW_WINE_MODE" "$build" taskwell taskwell_soak
fi
exe="$build/taskwell.exe"
soak="$build/tests/e2e/taskwell_soak.exe"
[ -f "$exe" ] || tw_die "$exe not found"
[ -f "$soak" ] || tw_die "$soak not found"

tw_log "soak of $minutes minutes in prefix $TASKWELL_E2E_WINEPREFIX; artifacts in $artifacts"
rm -f "$artifacts/soak-result.txt" "$artifacts/soak-samples.csv"
rc=0
bash "$TW_ROOT/tests/e2e/run_e2e.sh" --soak "$minutes" "$exe" "$soak" "$artifacts" || rc=$?

echo
if [ "$rc" -eq 0 ]; then
  echo "SOAK PASSED ($minutes minutes)"
else
  echo "SOAK FAILED ($minutes minutes, exit code $rc)"
fi
if [ -f "$artifacts/soak-result.txt" ]; then
  echo "result: $artifacts/soak-result.txt; samples: $artifacts/soak-samples.csv"
else
  echo "no result file was written (see $artifacts/wine.log)"
fi
exit "$rc"
