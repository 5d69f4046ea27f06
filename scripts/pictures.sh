#!/usr/bin/env bash
# Makes the README's pictures of the four pages again: docs/applications.png, docs/processes.png,
# docs/performance.png and docs/system-info.png, and of the Performance page with Large Fonts
# (120 dpi), docs/performance-120dpi.png. Run it when a page changes and commit the pictures.
#
#   bash scripts/pictures.sh
#
# Installs what is missing, builds taskwell.exe and the helper taskwell_benchloop.exe, starts the
# program under Wine (Windows 98, 96 dpi) on a private 1024 x 768 Xvfb in a prefix of its own
# (build/wine-prefix-pictures; at 120 dpi build/wine-prefix-pictures-120dpi), with settings that show the pages well: High update speed, the
# Applications list in Details, process columns wide enough for their texts, a registered owner.
# The helper selects each page in turn; the picture is that X window (the program's window with its
# frame, found by its caption with xdotool), taken with ImageMagick's import and reduced to a
# palette of 64 colours.
# On a machine that cannot run 32-bit programs the pictures are of the 64-bit test build, and the
# script says so (scripts/setup.sh, the Wine mode).
#
# Environment: TASKWELL_PICTURES_DIR (where the pictures go, default docs/),
# TASKWELL_PICTURES_SETTLE (seconds the program runs before the first picture, default 60, so the
# Performance page's history graphs have points).
set -euo pipefail

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/setup.sh"

out="$(realpath -m "${TASKWELL_PICTURES_DIR:-$TW_ROOT/docs}")"
settle="${TASKWELL_PICTURES_SETTLE:-60}"
[[ "$settle" =~ ^[0-9]+$ ]] || tw_die "TASKWELL_PICTURES_SETTLE must be a whole number of seconds"
caption="Orvex Taskwell 98"
# The program's settings key as regedit names it, the settings the pictures are taken with, and the
# registered owner and organisation a Windows 98 set-up stores (Wine's prefix has none).
key='HKEY_CURRENT_USER\Software\Orvex Software\Taskwell'
settings="REGEDIT4

[-$key]

[$key]
\"ActivePage\"=dword:00000000
\"&High\"=dword:00000001
\"&Normal\"=dword:00000000
\"Lar&ge Icons\"=dword:00000000
\"&Details\"=dword:00000001

[$key\\Application Columns]
\"Task\"=dword:000000fa
\"Status\"=dword:00000064

[$key\\Process Columns]
\"PID\"=dword:00000050
\"Image Name\"=dword:00000064
\"Threads\"=dword:0000003c
\"Priority\"=dword:00000037
\"Type\"=dword:0000005f

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]
\"RegisteredOwner\"=\"Taskwell user\"
\"RegisteredOrganization\"=\"Orvex Software\"
"

tw_install_deps
build="$(tw_wine_build_dir)"
tw_build_windows "$TW_WINE_MODE" taskwell taskwell_benchloop >/dev/null
[ "$TW_WINE_MODE" = win32 ] || tw_log "the pictures show the 64-bit test build, which looks as the 32-bit program does"
loop="$build/tests/e2e/taskwell_benchloop.exe"
[ -f "$loop" ] || tw_die "$loop was not built"
work="$TW_ROOT/build/pictures"
rm -rf "$work"
mkdir -p "$work" "$out"
printf '%s' "$settings" | sed 's/$/\r/' >"$work/settings.reg"

# Takes the pictures named "<tab index>:<picture name>" on a screen of $1 dpi, in prefix $2 (one of
# its own for each DPI: the program reads the screen's DPI when it starts).
take_pictures() {
  local dpi="$1" prefix="$2"
  shift 2
  tw_wine_session "$prefix" 1024x768x24
  if [ "$dpi" != 96 ]; then
    tw_set_logpixels "$dpi"
    tw_wineserver_wait 120
  fi
  tw_wine_timeout 60 regedit /S "$(tw_winpath "$work/settings.reg")" >/dev/null 2>&1 ||
    tw_die "regedit could not store the pictures' settings"
  tw_wine_as_win98 taskwell.exe

  tw_log "starting $build/taskwell.exe at $dpi dpi on $DISPLAY (Wine log: $work/wine-$dpi.log)"
  (cd "$build" && exec wine taskwell.exe) >"$work/wine-$dpi.log" 2>&1 &
  # The helper's output goes to files: Wine's desktop, when a call starts it, keeps the output it
  # inherits open until the session ends.
  timeout -k 5 120 wine "$loop" --select-tab taskwell.exe 0 90000 >"$work/select.txt" 2>&1 ||
    tw_die "the main window did not show: $(cat "$work/select.txt")"
  sleep "$settle"

  local window page index name picture size colours
  window="$(xdotool search --onlyvisible --name "^$caption\$" | head -n 1)"
  [ -n "$window" ] || tw_die "no X window with the caption \"$caption\""
  for page in "$@"; do
    index="${page%%:*}"
    name="${page#*:}"
    picture="$out/$name.png"
    timeout -k 5 60 wine "$loop" --select-tab taskwell.exe "$index" 30000 >"$work/select.txt" 2>&1 ||
      tw_die "page $index was not selected: $(cat "$work/select.txt")"
    # Two refreshes at High speed, so the page shows current figures.
    sleep 2
    timeout 60 import -window "$window" "$work/$name.png" || tw_die "import could not take window $window"
    # A palette of 64 colours without dithering keeps the picture small and its texts sharp; no
    # time stamps, so a picture that did not change stays the same file.
    convert "$work/$name.png" -dither None -colors 64 -strip -define png:exclude-chunks=date,time \
      "PNG8:$picture"
    read -r size colours <<<"$(identify -format '%wx%h %k' "$picture")"
    # A window drawn in a few colours at most is a blank or black capture, not a page.
    [ "$colours" -ge 8 ] || tw_die "$picture has $colours colours only: the capture failed"
    tw_log "${picture#"$TW_ROOT"/}: $size, $(stat -c %s "$picture") bytes"
  done
  timeout -k 5 60 wine "$loop" --close taskwell.exe 30000 >"$work/close.txt" 2>&1 ||
    tw_log "warning: the program did not end on WM_CLOSE"
  tw_wineserver_kill
  tw_stop_xvfb
}

take_pictures 96 "$TW_ROOT/build/wine-prefix-pictures" 0:applications 1:processes 2:performance 3:system-info
# The Performance page with Large Fonts, where the most captions and figures share little room.
take_pictures 120 "$TW_ROOT/build/wine-prefix-pictures-120dpi" 2:performance-120dpi
tw_log "look at the pictures before committing them"
