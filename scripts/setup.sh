#!/usr/bin/env bash
# Shared setup for Taskwell's scripts: system packages, the builds, the Wine mode, the Wine
# prefix and an X display.
#
#   source scripts/setup.sh      defines the tw_* functions below, runs nothing
#   bash scripts/setup.sh        installs packages, builds, prepares the prefix
#
# The Wine mode. Where this machine can run 32-bit programs, Wine runs the product itself,
# build/win32/taskwell.exe, in 32-bit prefixes (mode win32). Where it cannot (the kernel's 32-bit
# emulation is off, and Debian's Wine runs a 32-bit exe only through its 32-bit loader), Wine runs
# the 64-bit test build of the same sources, build/win64, in 64-bit prefixes through Wine's 64-bit
# loader (mode win64); the 32-bit product is still built and checked statically. tw_wine_mode
# decides once and says so in one line; scripts it starts inherit the decision.
#
# Settings (environment):
#   TASKWELL_WINEPREFIX      prefix used by scripts/run.sh    (default build/wine-prefix)
#   TASKWELL_E2E_WINEPREFIX  prefix used by the e2e test      (default build/wine-prefix-e2e)
#   TASKWELL_WINEARCH        win64: the 64-bit mode even where 32-bit programs run;
#                            win32: the 32-bit mode whatever the probe says (default: the probe)
#   TASKWELL_SKIP_INSTALL=1  never call apt-get
#   TASKWELL_JOBS            parallel build jobs              (default: number of CPUs)

TW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TW_PACKAGES=(cmake g++ libgtest-dev libbenchmark-dev g++-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 wine64 fonts-wine xvfb x11-utils xdotool imagemagick zip unzip)
# The cross compiler of the 64-bit test build, installed only in the 64-bit mode.
TW_PACKAGES_WIN64=(g++-mingw-w64-x86-64 mingw-w64-x86-64-dev)
# Debian's Wine loaders and servers. Its `wine` script always takes the 32-bit loader when that is
# installed, so the 64-bit mode calls the 64-bit one itself.
TW_WINE32_LOADER=/usr/lib/wine/wine
TW_WINE64_LOADER=/usr/lib/wine/wine64
TW_WINE64_SERVER=/usr/lib/wine/wineserver64
# Bump when the prefix layout below changes, so existing prefixes are rebuilt.
TW_PREFIX_LAYOUT=3

tw_log() { printf '[taskwell] %s\n' "$*" >&2; }
tw_die() {
  printf '[taskwell] error: %s\n' "$*" >&2
  exit 1
}

# ---- packages ---------------------------------------------------------------------------

# Prints the packages among the arguments that are not installed.
tw_missing_packages() {
  local p status
  for p in "$@"; do
    status="$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)"
    [ "$status" = "installed" ] || printf '%s\n' "$p"
  done
}

tw_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    tw_die "need root to run: $*"
  fi
}

tw_apt() {
  # Waits for another apt/dpkg run to release its lock instead of failing at once.
  tw_as_root env DEBIAN_FRONTEND=noninteractive apt-get -y -q \
    -o DPkg::Lock::Timeout=900 -o Dpkg::Options::=--force-confdef \
    -o Dpkg::Options::=--force-confold "$@"
}

# Installs what the scripts need, decides the Wine mode (which needs Wine installed), and installs
# the 64-bit cross compiler when the mode is win64.
tw_install_deps() {
  tw_install_packages "${TW_PACKAGES[@]}"
  tw_wine_mode
  if [ "$TW_WINE_MODE" = win64 ]; then tw_install_packages "${TW_PACKAGES_WIN64[@]}"; fi
}

# Refreshes the package lists. A mirror caught in a sync fails one index now and then: the update
# is tried three times, and when one list still fails the install goes on with what was fetched
# (it fails by itself, and says so, if a package it needs is not among them).
#   tw_apt_update <log>
tw_apt_update() {
  local attempt
  for attempt in 1 2 3; do
    tw_apt update >>"$1" 2>&1 && return 0
    tw_log "apt-get update failed (attempt $attempt of 3)"
    [ "$attempt" = 3 ] || sleep 15
  done
  tail -n 5 "$1" >&2
  tw_log "going on with the package lists that were fetched"
}

# Installs from the release's own archive, before its updates. When a mirror's security list of one
# architecture cannot be fetched, the other architecture's newer libraries have no 32-bit twins of
# the same version and the 32-bit Wine cannot be installed beside them; the release's archive has
# both architectures at one version.
#   tw_apt_install_from_release <log> <package...>
tw_apt_install_from_release() {
  local log="$1" codename
  shift
  codename="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")"
  [ -n "$codename" ] || return 1
  tw_log "install failed again; installing from the $codename archive itself"
  tw_apt install -t "$codename" "$@" >>"$log" 2>&1
}

tw_install_packages() {
  if [ "${TASKWELL_SKIP_INSTALL:-0}" = "1" ]; then return 0; fi
  command -v dpkg-query >/dev/null 2>&1 || {
    tw_log "no dpkg: install the tools by hand: $*"
    return 0
  }
  local missing
  missing="$(tw_missing_packages "$@")"
  [ -z "$missing" ] && return 0
  tw_log "installing: $(echo "$missing" | tr '\n' ' ')"

  mkdir -p "$TW_ROOT/build"
  local log="$TW_ROOT/build/apt.log"
  tw_log "apt output goes to $log"
  local need_update=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    tw_as_root dpkg --add-architecture i386
    need_update=1
  fi
  if ! ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1; then need_update=1; fi
  if [ "$need_update" = 1 ]; then tw_apt_update "$log"; fi

  # shellcheck disable=SC2086  # one package per word
  if ! tw_apt install $missing >>"$log" 2>&1; then
    tw_log "install failed; refreshing package lists and retrying"
    tw_apt_update "$log"
    # shellcheck disable=SC2086
    tw_apt install $missing >>"$log" 2>&1 || tw_apt_install_from_release "$log" $missing || {
      tail -n 20 "$log" >&2
      tw_die "apt-get install failed"
    }
  fi
  missing="$(tw_missing_packages "$@")"
  [ -z "$missing" ] || tw_die "still missing after install: $missing"
}

# ---- Wine mode ----------------------------------------------------------------------------

# Sets and exports TW_WINE_MODE (win32 or win64) and TW_WINE_MODE_WHY, once: a script started by
# one that decided inherits both and says nothing. In the 64-bit mode, `wine` and `wineserver` on
# the PATH are Wine's 64-bit loader and server (build/wine64-bin), so every call of the scripts and
# of the tests reaches them.
tw_wine_mode() {
  if [ -z "${TW_WINE_MODE:-}" ]; then
    local why probe
    case "${TASKWELL_WINEARCH:-}" in
      win64)
        TW_WINE_MODE=win64
        why="TASKWELL_WINEARCH=win64 asks for it"
        ;;
      win32)
        TW_WINE_MODE=win32
        why="TASKWELL_WINEARCH=win32 asks for it"
        ;;
      "")
        if [ -x "$TW_WINE32_LOADER" ]; then
          if probe="$("$TW_WINE32_LOADER" --version 2>&1)"; then
            TW_WINE_MODE=win32
            why="this machine runs 32-bit programs"
          else
            TW_WINE_MODE=win64
            # The shell's message ends in the system's reason ("Exec format error").
            probe="$(tail -n 1 <<<"$probe")"
            why="this machine cannot run 32-bit programs ($TW_WINE32_LOADER --version: ${probe##*: })"
            why+="; the kernel's 32-bit emulation (ia32_emulation=on) would let it"
          fi
        elif [ -x "$TW_WINE64_LOADER" ]; then
          TW_WINE_MODE=win64
          why="Wine's 32-bit loader ($TW_WINE32_LOADER) is not installed"
        else
          TW_WINE_MODE=win32
          why="the wine command runs the programs (no Debian Wine loaders in /usr/lib/wine)"
        fi
        ;;
      *) tw_die "TASKWELL_WINEARCH must be win32 or win64, not \"$TASKWELL_WINEARCH\"" ;;
    esac
    TW_WINE_MODE_WHY="$why"
    export TW_WINE_MODE TW_WINE_MODE_WHY
    if [ "$TW_WINE_MODE" = win64 ]; then
      tw_log "Wine mode win64: Wine runs the 64-bit test build (build/win64) in 64-bit prefixes: $why"
    else
      tw_log "Wine mode win32: Wine runs the 32-bit program (build/win32): $why"
    fi
  fi
  if [ "$TW_WINE_MODE" = win64 ]; then tw_wine64_commands; fi
}

# Puts `wine` and `wineserver` for Wine's 64-bit loader and server first on the PATH.
tw_wine64_commands() {
  local bin="$TW_ROOT/build/wine64-bin"
  case ":$PATH:" in *":$bin:"*) return 0 ;; esac
  [ -x "$TW_WINE64_LOADER" ] || tw_die "Wine's 64-bit loader $TW_WINE64_LOADER is not installed (package wine64)"
  mkdir -p "$bin"
  printf '#!/bin/sh\nWINELOADER=%s WINESERVER=%s exec %s "$@"\n' \
    "$TW_WINE64_LOADER" "$TW_WINE64_SERVER" "$TW_WINE64_LOADER" >"$bin/wine"
  printf '#!/bin/sh\nexec %s "$@"\n' "$TW_WINE64_SERVER" >"$bin/wineserver"
  chmod +x "$bin/wine" "$bin/wineserver"
  export PATH="$bin:$PATH"
}

# The build directory whose programs Wine runs in this mode.
tw_wine_build_dir() {
  tw_wine_mode
  echo "$TW_ROOT/build/$TW_WINE_MODE"
}

# ---- builds -----------------------------------------------------------------------------

tw_jobs() { echo "${TASKWELL_JOBS:-$(nproc 2>/dev/null || echo 2)}"; }

# Builds build/<arch> (win32: the product, with mingw-w64 i686; win64: the test build, with
# mingw-w64 x86_64): the targets named after the architecture, or all of them.
tw_build_windows() {
  local arch="$1"
  shift
  tw_log "building $arch (build/$arch${*:+: $*})"
  tw_build_windows_in "$arch" "$TW_ROOT/build/$arch" "$@"
  [ -f "$TW_ROOT/build/$arch/taskwell.exe" ] || tw_die "build/$arch/taskwell.exe was not produced"
}

# Configures and builds the Windows build of architecture $1 (win32 or win64) in directory $2: the
# targets that follow, or all of them.
tw_build_windows_in() {
  local arch="$1" dir="$2" cpu
  shift 2
  case "$arch" in
    win32) cpu=i686 ;;
    win64) cpu=x86_64 ;;
    *) tw_die "no such Windows build: $arch" ;;
  esac
  cmake -S "$TW_ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$TW_ROOT/cmake/mingw-$cpu.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$dir" -j "$(tw_jobs)" ${*:+--target "$@"}
}

# The 32-bit product; in the 32-bit mode also every program the Wine tests run.
tw_build_win32() {
  tw_wine_mode
  if [ "$TW_WINE_MODE" = win32 ]; then
    tw_build_windows win32
  else
    tw_build_windows win32 taskwell
  fi
}

# The programs Wine runs in this mode: build/win32 (with tw_build_win32) or build/win64.
tw_build_wine_programs() {
  tw_wine_mode
  if [ "$TW_WINE_MODE" = win64 ]; then tw_build_windows win64; fi
}

tw_build_native() {
  tw_wine_mode
  tw_log "building native (build/native)"
  cmake -S "$TW_ROOT" -B "$TW_ROOT/build/native" -DCMAKE_BUILD_TYPE=Release \
    -DTASKWELL_WIN32_DIR="$TW_ROOT/build/win32" -DTASKWELL_WINE_BUILD_DIR="$(tw_wine_build_dir)" \
    -DTASKWELL_WINE_MODE="$TW_WINE_MODE" -DTASKWELL_WINE_MODE_WHY="$TW_WINE_MODE_WHY" >/dev/null
  cmake --build "$TW_ROOT/build/native" -j "$(tw_jobs)"
}

# ---- Wine -------------------------------------------------------------------------------

tw_default_prefix() { echo "${TASKWELL_WINEPREFIX:-$TW_ROOT/build/wine-prefix}"; }
tw_default_e2e_prefix() { echo "${TASKWELL_E2E_WINEPREFIX:-$TW_ROOT/build/wine-prefix-e2e}"; }

# Exports the Wine environment for prefix $1.
tw_wine_env() {
  tw_wine_mode
  export WINEPREFIX="$1"
  export WINEARCH="$TW_WINE_MODE"
  export WINEDEBUG=-all
  # No .NET or HTML engine download prompts, no desktop menu entries on the host.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  : "${HOME:=$TW_ROOT/build}"
  export HOME
}

# Runs wine with a bound on its run time; the first argument is the limit in seconds.
tw_wine_timeout() {
  local secs="$1"
  shift
  timeout -k 10 "$secs" wine "$@"
}

tw_wineserver_wait() { timeout -k 5 "${1:-120}" wineserver -w || true; }
tw_wineserver_kill() { timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true; }

# Creates the Wine prefix $1 unless it is ready (stamp present), then exports its environment.
tw_prefix_setup() {
  local prefix="$1"
  local stamp="$prefix/.taskwell-prefix"
  local want
  tw_wine_env "$prefix"
  want="layout=$TW_PREFIX_LAYOUT arch=$WINEARCH $(wine --version 2>/dev/null || true)"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -f "$prefix/system.reg" ]; then
    return 0
  fi
  command -v wine >/dev/null 2>&1 || tw_die "wine is not installed"

  # Start over from a prefix that this function left half-made, or that has an old layout.
  # Anything else in the way is not ours to delete.
  if [ -e "$prefix" ]; then
    if [ -f "$prefix/.taskwell-creating" ] || [ -f "$stamp" ] || [ -z "$(ls -A "$prefix")" ]; then
      tw_log "recreating Wine prefix $prefix"
      tw_wineserver_kill
      rm -rf "$prefix"
    else
      tw_die "$prefix exists and is not a Taskwell prefix; remove it or set another path"
    fi
  fi
  tw_log "creating Wine prefix $prefix"
  mkdir -p "$prefix"
  touch "$prefix/.taskwell-creating"
  local t0=$SECONDS

  tw_wine_timeout 300 wineboot -i >/dev/null 2>&1 || tw_die "wineboot failed in $prefix"
  tw_wineserver_wait 120
  [ -f "$prefix/system.reg" ] || tw_die "wineboot did not create $prefix/system.reg"

  # Windows 98 for taskwell.exe only; one virtual desktop shared by every program of the
  # prefix, with Wine's task bar (task buttons and a notification area) along its bottom.
  local reg key name type value
  for reg in \
    'HKCU\Software\Wine\AppDefaults\taskwell.exe|Version|REG_SZ|win98' \
    'HKCU\Software\Wine\AppDefaults\taskwell_peer_checks.exe|Version|REG_SZ|win98' \
    'HKCU\Software\Wine\Explorer|Desktop|REG_SZ|Default' \
    'HKCU\Software\Wine\Explorer\Desktops|Default|REG_SZ|1024x768' \
    'HKCU\Software\Wine\Explorer\Desktops\Default|EnableShell|REG_DWORD|1'; do
    IFS='|' read -r key name type value <<<"$reg"
    tw_wine_timeout 60 reg add "$key" /v "$name" /t "$type" /d "$value" /f >/dev/null 2>&1 ||
      tw_die "reg add $key $name failed"
  done

  # Wine's own fonts, so captions and dialogs get the classic faces.
  if compgen -G "/usr/share/wine/fonts/*.ttf" >/dev/null; then
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp -f /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
  else
    tw_log "warning: /usr/share/wine/fonts/*.ttf not found (package fonts-wine)"
  fi
  tw_wineserver_wait 120

  printf '%s' "$want" >"$stamp"
  rm -f "$prefix/.taskwell-creating"
  tw_log "Wine prefix ready in $((SECONDS - t0)) s"
}

# Tells the prefix's Wine to report Windows 98 to the program named $1 (the prefix was made so, but
# a test may have changed it).
tw_wine_as_win98() {
  tw_wine_timeout 60 reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /t REG_SZ /d win98 /f \
    >/dev/null 2>&1 || tw_die "cannot set the Windows version of $1 in $WINEPREFIX"
}

# Sets the logical DPI of the prefix's screen to $1 (Small Fonts 96, Large Fonts 120): the value
# LogPixels under HKCU\Control Panel\Desktop, where Windows keeps it, and under the current
# hardware profile's Software\Fonts (Wine 8 takes either alone). The other Wine checks assume 96:
# a prefix of another DPI is one of its own. Programs see it from the next session of the prefix.
tw_set_logpixels() {
  local key
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    tw_wine_timeout 60 reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 ||
      tw_die "cannot set LogPixels under $key in $WINEPREFIX"
  done
}

# Unix path -> Windows path through the prefix's Z: drive (which maps the host's /).
tw_winpath() {
  local abs
  abs="$(realpath -m "$1")"
  printf 'Z:%s' "${abs//\//\\}"
}

# ---- Ending a session ------------------------------------------------------------------------

# Ends the session on exit, on Ctrl-C and on TERM: every process of the prefix and the private Xvfb
# are stopped, and the script's exit code is kept.
tw_end_session() {
  local rc=$?
  trap - EXIT INT TERM
  tw_wineserver_kill
  tw_stop_xvfb
  exit "$rc"
}
tw_end_session_on_exit() {
  trap tw_end_session EXIT
  trap 'exit 130' INT TERM
}

# ---- A session of Wine programs -------------------------------------------------------------

# Starts a session in prefix $1: the prefix made ready, ended on exit (tw_end_session_on_exit),
# nothing left over from an earlier session, and DISPLAY set to display $3 when given, else to a
# private Xvfb of geometry $2.
tw_wine_session() {
  tw_prefix_setup "$1"
  tw_end_session_on_exit
  tw_wineserver_kill
  if [ -n "${3:-}" ]; then
    export DISPLAY="$3"
    tw_display_ok || tw_die "cannot open display $DISPLAY"
  else
    tw_start_xvfb "$2"
  fi
}

# ---- X display ---------------------------------------------------------------------------

tw_display_ok() { [ -n "${DISPLAY:-}" ] && timeout 10 xdpyinfo >/dev/null 2>&1; }

# Starts a private Xvfb on a free display number and exports DISPLAY. Sets TW_XVFB_PID;
# the caller stops it with tw_stop_xvfb (usually from an EXIT trap).
TW_XVFB_PID=""
tw_start_xvfb() {
  local geometry="${1:-1280x1024x24}"
  command -v Xvfb >/dev/null 2>&1 || tw_die "Xvfb is not installed"
  local fifo
  fifo="$(mktemp -u /tmp/taskwell-xvfb.XXXXXX)"
  mkfifo "$fifo"
  # -displayfd picks a free display and writes its number once the server accepts clients.
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  TW_XVFB_PID=$!
  local num=""
  read -r -t 30 num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ] || ! kill -0 "$TW_XVFB_PID" 2>/dev/null; then
    tw_stop_xvfb
    tw_die "Xvfb did not start"
  fi
  export DISPLAY=":$num"
  tw_log "started Xvfb on $DISPLAY ($geometry)"
}

tw_stop_xvfb() {
  if [ -n "$TW_XVFB_PID" ]; then
    kill "$TW_XVFB_PID" 2>/dev/null || true
    local _
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      kill -0 "$TW_XVFB_PID" 2>/dev/null || break
      sleep 0.5
    done
    kill -9 "$TW_XVFB_PID" 2>/dev/null || true
    wait "$TW_XVFB_PID" 2>/dev/null || true
    TW_XVFB_PID=""
  fi
}

# Run directly: do all the preparation and stop.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  tw_install_deps
  tw_build_win32
  tw_build_wine_programs
  tw_build_native
  tw_prefix_setup "$(tw_default_prefix)"
  tw_log "ready"
fi
