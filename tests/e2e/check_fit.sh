#!/usr/bin/env bash
# Runs the fit checks (FitChecks.cpp) on a screen of the given logical DPI: every text of the main
# window's pages and of the dialogs measured against its control.
#
#   check_fit.sh <dpi> <taskwell_fit_checks.exe> [artifact dir]
#
# At 96 dpi they run in the shared e2e prefix, which stays at 96 dpi (the other Wine checks assume
# it). At any other DPI they run in a prefix of their own, build/wine-prefix-e2e-<dpi>dpi, set to it
# (tw_set_logpixels). The checks fail when the screen does not report the DPI asked for.
# Exit code: run_e2e.sh's.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../scripts/setup.sh
source "$here/../../scripts/setup.sh"

if [ $# -lt 2 ] || [ $# -gt 3 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 <dpi> <taskwell_fit_checks.exe> [artifact dir]" >&2
  exit 2
fi
dpi="$1"
checks="$2"
if [ "$dpi" != 96 ]; then
  export TASKWELL_E2E_WINEPREFIX="$TW_ROOT/build/wine-prefix-e2e-${dpi}dpi"
fi
tw_prefix_setup "$(tw_default_e2e_prefix)"
if [ "$dpi" != 96 ]; then
  tw_set_logpixels "$dpi"
  # Above Large Fonts the window's design size is taller than a 1024 x 768 screen: such a DPI goes
  # with a larger one.
  if [ "$dpi" -gt 120 ]; then
    tw_wine_timeout 60 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1280x1024 /f \
      >/dev/null 2>&1 || tw_die "cannot set the desktop's size in $WINEPREFIX"
  fi
fi
tw_wine_as_win98 "$(basename "$checks")"
# The registry is written out when the server ends; the session that follows starts a new one.
tw_wineserver_wait 120

export TASKWELL_FIT_DPI="$dpi"
[ -z "${3:-}" ] || export TASKWELL_FIT_ARTIFACTS="$(tw_winpath "$3")"
exec bash "$here/run_e2e.sh" --self "$checks" "${3:-}"
