#!/usr/bin/env bash
# Builds peer_checks.exe (the Win32 platform and peers, the widget layer and the resources, with
# PeerChecks.cpp in place of the program) and runs it under Wine reporting Windows 98.
#
#   bash platform/win32/checks/run_peer_checks.sh [build directory]
#
# Uses $WINEPREFIX if set (default: <build directory>/wine-prefix, made on first use) and
# $DISPLAY if set; without a display it starts its own Xvfb. Exit code: the number of failed
# checks (or 1 when the program did not build or run to its end).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
out="${1:-$root/build/peer-checks}"
mkdir -p "$out"

cxx=i686-w64-mingw32-g++
flags=(-std=c++20 -O1 -Wall -Wextra -I"$root")
objs=()
for src in "$root"/ui/*.cpp "$root"/platform/win32/*.cpp "$here"/PeerChecks.cpp; do
  obj="$out/$(basename "$(dirname "$src")")_$(basename "$src" .cpp).o"
  "$cxx" "${flags[@]}" -c "$src" -o "$obj"
  objs+=("$obj")
done
(cd "$root/resources" && i686-w64-mingw32-windres -O coff taskwell.rc "$out/taskwell_res.o")
"$cxx" -mconsole -static -static-libgcc -static-libstdc++ -o "$out/peer_checks.exe" "${objs[@]}" \
  "$out/taskwell_res.o" -lcomctl32 -lshell32 -lversion -luser32 -lgdi32 -ladvapi32

export WINEPREFIX="${WINEPREFIX:-$out/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
xvfb_pid=""
cleanup() { if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:97
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
fi
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  wineboot -i >/dev/null 2>&1
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
wine reg add 'HKCU\Software\Wine\AppDefaults\peer_checks.exe' /v Version /d win98 /f >/dev/null 2>&1

set +e
timeout 120 wine "$out/peer_checks.exe" | tee "$out/peer_checks.log"
status=${PIPESTATUS[0]}
set -e
grep -q " passed, " "$out/peer_checks.log" || { echo "peer_checks did not run to its end (status $status)"; exit 1; }
exit "$status"
