#!/usr/bin/env bash
# Checks the package a user downloads, made by scripts/package.sh from a built taskwell.exe.
#
#   check_package.sh --static <taskwell.exe>
#       Packs the product and checks the zip without Wine: it is named after the "FileVersion" of
#       resources/taskwell.rc, holds exactly taskwell.exe (the same bytes) and README.TXT (CRLF line
#       ends only), fits a 1.44 MB floppy, and its exe passes check_header.sh (a 32-bit GUI program
#       Windows 95 starts).
#   check_package.sh <taskwell.exe> <taskwell_benchloop.exe> [artifact dir]
#       Packs that exe, unpacks the zip into a fresh folder and starts the program from there under
#       Wine, as a user does on a first run: its main window shows, it ends with exit code 0 on
#       WM_CLOSE, and the folder holds the same two files afterwards. In the 64-bit Wine mode the
#       exe is the 64-bit test build packed the same way, and the check says so.
#
# Exit code 0 only when every check passed. Environment as run_e2e.sh (TASKWELL_E2E_WINEPREFIX,
# TASKWELL_E2E_DISPLAY).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../scripts/setup.sh
source "$here/../../scripts/setup.sh"

rc=0
pass() { echo "PASS: $*"; }
fail() {
  echo "FAIL: $*"
  rc=1
}
check() {
  local what="$1"
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# Packs exe $1 into a fresh folder below $2 and prints the zip's path.
pack() {
  bash "$TW_ROOT/scripts/package.sh" --exe "$1" --out "$2" | tail -n 1
}

# Every line of file $1 ends in CR LF, and there is at least one.
crlf_only() {
  [ -s "$1" ] && [ "$(tail -c 2 "$1" | od -An -c | tr -d ' ')" = '\r\n' ] &&
    ! LC_ALL=C grep -q $'[^\r]$\|^$' "$1"
}

static_checks() {
  local exe="$1" work zip version listing size
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  zip="$(pack "$exe" "$work/dist")" || { fail "scripts/package.sh packed $exe"; return; }
  version="$(sed -n 's/.*VALUE *"FileVersion", *"\([^"]*\)".*/\1/p' "$TW_ROOT/resources/taskwell.rc")"
  check "the zip is named after the version resource's FileVersion $version (got $(basename "$zip"))" \
    [ "$zip" = "$work/dist/taskwell-$version.zip" ]
  listing="$(unzip -Z1 "$zip" | sort | tr '\n' ' ')"
  check "the zip holds exactly README.TXT and taskwell.exe (holds: $listing)" \
    [ "$listing" = "README.TXT taskwell.exe " ]
  size="$(stat -c %s "$zip")"
  check "the zip ($size bytes) fits a 1.44 MB floppy" [ "$size" -le 1457664 ]
  mkdir "$work/unpacked"
  unzip -q "$zip" -d "$work/unpacked" || fail "unzip $zip"
  check "README.TXT has CRLF line ends only" crlf_only "$work/unpacked/README.TXT"
  check "the packed taskwell.exe is the built one" cmp -s "$exe" "$work/unpacked/taskwell.exe"
  check "the packed taskwell.exe is a 32-bit GUI program Windows 95 starts (the lines above)" \
    bash "$here/check_header.sh" "$work/unpacked/taskwell.exe"
}

wine_checks() {
  local exe="$1" loop="$2" artifacts="$3" zip folder app_pid app_rc who="the unpacked program"
  mkdir -p "$artifacts"
  rm -rf "$artifacts/dist" "$artifacts/unpacked" "$artifacts"/*.png "$artifacts"/*.txt
  zip="$(pack "$exe" "$artifacts/dist")" || { fail "scripts/package.sh packed $exe"; return; }
  folder="$artifacts/unpacked"
  mkdir "$folder"
  unzip -q "$zip" -d "$folder" || { fail "unzip $zip"; return; }
  if [ "$TW_WINE_MODE" = win64 ]; then
    who="the unpacked 64-bit test build"
    echo "NOTE: Wine runs the 64-bit test build $exe, packed as the product is, not the 32-bit"
    echo "  package ($TW_WINE_MODE_WHY); the 32-bit package's taskwell.exe is checked statically only"
    echo "  (package_zip)."
  fi

  tw_wine_session "$(tw_default_e2e_prefix)" 1024x768x24 "${TASKWELL_E2E_DISPLAY:-}"
  # A first run: no settings of an earlier one, Windows 98 for the program.
  tw_wine_timeout 60 reg delete 'HKCU\Software\Orvex Software\Taskwell' /f >/dev/null 2>&1 || true
  tw_wine_as_win98 taskwell.exe

  (cd "$folder" && exec wine taskwell.exe) >"$artifacts/wine.log" 2>&1 &
  app_pid=$!
  # The helper's output goes to files: Wine's desktop, when this call starts it, keeps the output
  # it inherits open until the session ends.
  if timeout -k 5 120 wine "$loop" --select-tab taskwell.exe 0 90000 >"$artifacts/shown.txt" 2>&1; then
    pass "$who's main window shows ($(tr -d '\r' <"$artifacts/shown.txt" | tail -n 1))"
    timeout 60 import -window root "$artifacts/package_first_run.png" 2>/dev/null || true
  else
    fail "$who's main window did not show: $(tail -n 3 "$artifacts/shown.txt")"
    tw_wineserver_kill
  fi
  if kill -0 "$app_pid" 2>/dev/null; then
    if timeout -k 5 60 wine "$loop" --close taskwell.exe 30000 >"$artifacts/closed.txt" 2>&1; then
      pass "$who ends within 30 s of WM_CLOSE"
    else
      fail "$who did not end within 30 s of WM_CLOSE"
    fi
    app_rc=0
    timeout -k 5 60 tail --pid="$app_pid" -f /dev/null || kill -9 "$app_pid" 2>/dev/null || true
    wait "$app_pid" || app_rc=$?
    check "$who's exit code is 0 (got $app_rc)" [ "$app_rc" -eq 0 ]
  fi
  check "the folder holds README.TXT and taskwell.exe alone after the run ($(ls "$folder" | tr '\n' ' '))" \
    [ "$(ls -A "$folder" | tr '\n' ' ')" = "README.TXT taskwell.exe " ]
  [ "$rc" -eq 0 ] || { tw_log "Wine log (last lines of $artifacts/wine.log):"; tail -n 20 "$artifacts/wine.log" >&2; }
}

if [ "${1:-}" = "--static" ] && [ $# -eq 2 ]; then
  static_checks "$2"
elif [ $# -eq 2 ] || [ $# -eq 3 ]; then
  command -v wine >/dev/null 2>&1 || tw_die "wine is not installed (run scripts/setup.sh)"
  tw_wine_mode
  [ -f "$1" ] && [ -f "$2" ] || tw_die "$1 or $2 not found (build the Windows builds first)"
  wine_checks "$(realpath "$1")" "$(realpath "$2")" "$(realpath -m "${3:-$TW_ROOT/build/e2e-artifacts/package}")"
else
  echo "usage: $0 --static <taskwell.exe> | <taskwell.exe> <taskwell_benchloop.exe> [artifact dir]" >&2
  exit 2
fi
exit "$rc"
