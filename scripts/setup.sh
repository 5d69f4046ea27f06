#!/usr/bin/env bash
# Shared setup for Taskwell's scripts: system packages, the two builds, the Wine prefix
# and an X display.
#
#   source scripts/setup.sh      defines the tw_* functions below, runs nothing
#   bash scripts/setup.sh        installs packages, builds both builds, prepares the prefix
#
# Settings (environment):
#   TASKWELL_WINEPREFIX      prefix used by scripts/run.sh    (default build/wine-prefix)
#   TASKWELL_E2E_WINEPREFIX  prefix used by the e2e test      (default build/wine-prefix-e2e)
#   TASKWELL_WINEARCH        architecture of a new prefix     (default win32)
#   TASKWELL_SKIP_INSTALL=1  never call apt-get
#   TASKWELL_JOBS            parallel build jobs              (default: number of CPUs)

TW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TW_PACKAGES=(cmake g++ libgtest-dev libbenchmark-dev g++-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 wine64 fonts-wine xvfb x11-utils xdotool imagemagick)
# Bump when the prefix layout below changes, so existing prefixes are rebuilt.
TW_PREFIX_LAYOUT=3

tw_log() { printf '[taskwell] %s\n' "$*" >&2; }
tw_die() {
  printf '[taskwell] error: %s\n' "$*" >&2
  exit 1
}

# ---- packages ---------------------------------------------------------------------------

# Prints the packages of TW_PACKAGES that are not installed.
tw_missing_packages() {
  local p status
  for p in "${TW_PACKAGES[@]}"; do
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

tw_install_deps() {
  if [ "${TASKWELL_SKIP_INSTALL:-0}" = "1" ]; then return 0; fi
  command -v dpkg-query >/dev/null 2>&1 || {
    tw_log "no dpkg: install the tools by hand: ${TW_PACKAGES[*]}"
    return 0
  }
  local missing
  missing="$(tw_missing_packages)"
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
  if [ "$need_update" = 1 ]; then
    tw_apt update >>"$log" 2>&1 || { tail -n 20 "$log" >&2; tw_die "apt-get update failed"; }
  fi

  # shellcheck disable=SC2086  # one package per word
  if ! tw_apt install $missing >>"$log" 2>&1; then
    tw_log "install failed; refreshing package lists and retrying"
    tw_apt update >>"$log" 2>&1 || true
    # shellcheck disable=SC2086
    tw_apt install $missing >>"$log" 2>&1 || {
      tail -n 20 "$log" >&2
      tw_die "apt-get install failed"
    }
  fi
  missing="$(tw_missing_packages)"
  [ -z "$missing" ] || tw_die "still missing after install: $missing"
}

# ---- builds -----------------------------------------------------------------------------

tw_jobs() { echo "${TASKWELL_JOBS:-$(nproc 2>/dev/null || echo 2)}"; }

tw_build_win32() {
  tw_log "building win32 (build/win32)"
  cmake -S "$TW_ROOT" -B "$TW_ROOT/build/win32" \
    -DCMAKE_TOOLCHAIN_FILE="$TW_ROOT/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$TW_ROOT/build/win32" -j "$(tw_jobs)"
  [ -f "$TW_ROOT/build/win32/taskwell.exe" ] || tw_die "build/win32/taskwell.exe was not produced"
}

tw_build_native() {
  tw_log "building native (build/native)"
  cmake -S "$TW_ROOT" -B "$TW_ROOT/build/native" -DCMAKE_BUILD_TYPE=Release \
    -DTASKWELL_WIN32_DIR="$TW_ROOT/build/win32" >/dev/null
  cmake --build "$TW_ROOT/build/native" -j "$(tw_jobs)"
}

# ---- Wine -------------------------------------------------------------------------------

tw_default_prefix() { echo "${TASKWELL_WINEPREFIX:-$TW_ROOT/build/wine-prefix}"; }
tw_default_e2e_prefix() { echo "${TASKWELL_E2E_WINEPREFIX:-$TW_ROOT/build/wine-prefix-e2e}"; }

# Exports the Wine environment for prefix $1.
tw_wine_env() {
  export WINEPREFIX="$1"
  export WINEARCH="${TASKWELL_WINEARCH:-win32}"
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
  want="layout=$TW_PREFIX_LAYOUT arch=${TASKWELL_WINEARCH:-win32} $(wine --version 2>/dev/null || true)"
  tw_wine_env "$prefix"
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
  tw_build_native
  tw_prefix_setup "$(tw_default_prefix)"
  tw_log "ready"
fi
