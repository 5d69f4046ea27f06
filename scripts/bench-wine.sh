#!/usr/bin/env bash
# What Taskwell costs under Wine, measured against Wine's taskmgr (an NT-style task manager that
# ships with Wine, run as a black-box reference) and against the fair floor of each page (a loop
# that makes exactly the platform queries the program needs there per interval, and nothing else),
# all in one wineserver session of a prefix of its own, on a private Xvfb (its display given a
# resource database, as a desktop session's display has).
#
#   bash scripts/bench-wine.sh [options]
#
# Each round samples, one after another: idle (only Wine's own processes and the load), then for
# each of the pages Applications, Processes and Performance: Taskwell on the page, Wine's taskmgr
# on its tab of the same name, and the page's floor (taskwell_benchloop.exe --floor); then Taskwell
# minimised with Hide When Minimized on (its meter in the notification area alone) and the floor of
# that state (the process list, the memory status, the statistics and the window scan it still
# makes every pass, and the meter). Floors run told to report Windows 98, as Taskwell is. Each monitor runs at its Normal
# update speed (Taskwell's is stored in its settings key before each start; Wine's taskmgr runs
# with its defaults), its page is selected by taskwell_benchloop.exe --select-tab, and after a
# settle the sample measures, from the host's /proc:
#   own CPU      processor time of the monitor's Wine process, in percent of one core
#   server       the wineserver's, in percent of one core; "above idle" subtracts the round's idle
#   explorer, X  Wine's desktop process (task bar, notification area) and the X server
#   RSS          the monitor's resident memory (VmRSS) at the end of the sample
#   USS          its private memory (Private_Clean + Private_Dirty of /proc/PID/smaps_rollup)
# The load: the benchmark's helper keeps M windows open and N idle processes of its own running
# through the session (--load NxM; default 0x4: four windows, no processes beyond Wine's own), so
# the Applications pages have rows and the Processes pages more processes. Then per round a table,
# the medians over the rounds, and the ratios against the targets: on each page Taskwell's own CPU
# <= 0.3 x taskmgr's and <= 1.25 x the page's floor, in the tray <= 1.25 x its floor, its wineserver
# load above idle <= 0.5 x taskmgr's, its RSS and USS <= taskmgr's. The targets are reported, not
# asserted. With --calls (the default) the costs of single platform calls under Wine follow
# (taskwell_benchloop.exe --time-calls).
#
# Options:
#   --rounds <n>      rounds (default 3)
#   --settle <s>      seconds between a start and its sample (default 5)
#   --measure <s>     seconds of each sample (default 30)
#   --load <N>x<M>    N idle processes and M windows of the benchmark's helper (default 0x4)
#   --paused          also sample Taskwell Paused on Applications and Processes
#   --mode-cost       also sample the bare loop (a process walk and the memory status every
#                     1750 ms) alone and told to report Windows 98 (what that mode alone costs)
#   --pieces          also sample the bare loop with each piece of a monitor's work added
#                     (taskwell_benchloop.exe --with), and print each piece's cost per pass
#   --no-calls        leave out the costs of single calls
#   --call-seconds <s>  time spent on each single call (default 2)
#   --against <dir>   also sample the taskwell.exe of another Windows build directory (an earlier
#                     commit's, say) in each of Taskwell's states, right after this build's in odd
#                     rounds and right before it in even ones, and print both builds' medians and
#                     the ratios of this build to the other: two builds sampled in one session on
#                     the same load, which one build a run cannot give (rounds spread with the
#                     machine's load, which moves the figures a monitor shows)
#   --taskwell-only   leave out taskmgr and the floors (with --against, a comparison of builds)
#   --skip-build      use the existing build
# Environment:
#   TASKWELL_BENCH_BUILD       Windows build directory (default build/bench-win32, or
#                              build/bench-win64 in the 64-bit Wine mode of scripts/setup.sh, whose
#                              figures are those of the 64-bit test build, not of the product)
#   TASKWELL_BENCH_WINEPREFIX  Wine prefix (default build/wine-prefix-bench)
# Exit code: 0 when every sample was taken (whatever the ratios), 1 when a measurement failed.
set -euo pipefail

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/setup.sh"

rounds=3
settle=5
measure=30
paused=0
mode_cost=0
pieces=0
load_processes=0
load_windows=4
calls=1
call_seconds=2
build=1
against=""
taskwell_only=0
while [ $# -gt 0 ]; do
  case "$1" in
  --rounds) rounds="$2"; shift 2 ;;
  --settle) settle="$2"; shift 2 ;;
  --measure) measure="$2"; shift 2 ;;
  --paused) paused=1; shift ;;
  --mode-cost) mode_cost=1; shift ;;
  --load)
    [[ "${2:-}" =~ ^([0-9]+)x([0-9]+)$ ]] || tw_die "--load takes <processes>x<windows>, for example 100x50"
    load_processes="${BASH_REMATCH[1]}"
    load_windows="${BASH_REMATCH[2]}"
    shift 2 ;;
  --pieces) pieces=1; shift ;;
  --calls) calls=1; shift ;;
  --no-calls) calls=0; shift ;;
  --call-seconds) call_seconds="$2"; shift 2 ;;
  --skip-build) build=0; shift ;;
  --against) against="$(realpath -m "$2")"; shift 2 ;;
  --taskwell-only) taskwell_only=1; calls=0; shift ;;
  *) echo "unknown option: $1 (see the head of $0)" >&2; exit 2 ;;
  esac
done
# The pieces are measured above the bare loop.
[ "$pieces" = 0 ] || mode_cost=1
for n in "$rounds" "$settle" "$measure"; do
  [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 0 ] || tw_die "rounds, settle and measure must be positive whole numbers"
done

tw_install_deps
build_dir="$(realpath -m "${TASKWELL_BENCH_BUILD:-$TW_ROOT/build/bench-$TW_WINE_MODE}")"
prefix="$(realpath -m "${TASKWELL_BENCH_WINEPREFIX:-$TW_ROOT/build/wine-prefix-bench}")"
exe="$build_dir/taskwell.exe"
loop="$build_dir/tests/e2e/taskwell_benchloop.exe"
hz="$(getconf CLK_TCK)"

if [ "$build" = 1 ]; then
  tw_log "building taskwell.exe and taskwell_benchloop.exe in $build_dir"
  tw_build_windows_in "$TW_WINE_MODE" "$build_dir" taskwell taskwell_benchloop >/dev/null
fi
[ "$TW_WINE_MODE" = win32 ] ||
  tw_log "these figures are of the 64-bit test build and Wine's 64-bit taskmgr, not of the 32-bit program"
[ -f "$exe" ] && [ -f "$loop" ] || tw_die "$exe or $loop missing (build them, or drop --skip-build)"
[ -z "$against" ] || [ -f "$against/taskwell.exe" ] || tw_die "$against/taskwell.exe missing"
tw_prefix_setup "$prefix"

# ---- Host processes of this prefix ---------------------------------------------------------

# The wineserver of this prefix: its working directory is server-<device>-<inode> of the prefix.
server_dir_name() { printf 'server-%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")"; }
find_wineserver() {
  local want p
  want="$(server_dir_name)"
  for p in $(pgrep -x 'wineserver|wineserver64|wineserver32' 2>/dev/null || true); do
    [ "$(basename "$(readlink "/proc/$p/cwd" 2>/dev/null)")" = "$want" ] && { echo "$p"; return 0; }
  done
  return 1
}

# The command line of a host process, one argument a line; whether it runs in this prefix.
args_of() { { tr '\0' '\n' <"/proc/$1/cmdline"; } 2>/dev/null || true; }
in_prefix() { { tr '\0' '\n' <"/proc/$1/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; }

# The host pid of the Wine process of this prefix that runs <exe name> (the program's own path,
# Windows or Unix, is its command line's first word).
wine_pid_of() {
  local want="${1,,}" p argv0 base
  for p in /proc/[0-9]*; do
    p="${p#/proc/}"
    [ -r "/proc/$p/environ" ] || continue
    in_prefix "$p" || continue
    argv0="$(args_of "$p" | head -n 1)" || continue
    argv0="${argv0%"${argv0##*[![:space:]]}"}"
    base="${argv0##*[\\/]}"
    base="${base,,}"
    if [ "$base" = "$want" ] || [ "$base" = "${want%.exe}" ]; then
      echo "$p"
      return 0
    fi
  done
  return 1
}

wait_pid_of() {
  local name="$1" secs="$2" i pid
  for ((i = 0; i < secs * 4; i++)); do
    if pid="$(wine_pid_of "$name")"; then echo "$pid"; return 0; fi
    sleep 0.25
  done
  return 1
}

# The processor time of a process in nanoseconds, summed over its threads from the scheduler's
# own account (/proc/<pid>/task/*/schedstat, exact to the nanosecond); without it, utime + stime
# from /proc/<pid>/stat (whole clock ticks). Empty when the process is gone.
cpu_ns() {
  local stat rest
  [ -d "/proc/$1" ] || return 0
  if [ "$use_schedstat" = 1 ]; then
    { cat /proc/"$1"/task/*/schedstat; } 2>/dev/null | awk '{ s += $1 } END { if (NR) printf "%.0f\n", s }'
    return 0
  fi
  stat="$(cat "/proc/$1/stat" 2>/dev/null)" || return 0
  rest="${stat##*) }"
  # After the command: state is field 3, utime and stime are fields 14 and 15.
  awk -v hz="$hz" '{ printf "%.0f\n", ($12 + $13) * 1e9 / hz }' <<<"$rest"
}
use_schedstat=0
[ -r /proc/self/schedstat ] && use_schedstat=1

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || true; }
# Private memory: the pages only this process maps, clean or dirty.
uss_kb() {
  awk '/^Private_(Clean|Dirty):/ { s += $2; n++ } END { if (n) print s }' "/proc/$1/smaps_rollup" 2>/dev/null || true
}

# The host processes of this prefix running the benchmark's idle processes.
idle_processes() {
  local p n=0
  for p in /proc/[0-9]*; do
    p="${p#/proc/}"
    [ "$(args_of "$p" | sed -n 2p)" = "--idle" ] || continue
    in_prefix "$p" && n=$((n + 1))
  done
  echo "$n"
}

now() { date +%s.%N; }

# ---- Session ----------------------------------------------------------------------------------

helpers_pid=""
failed=0
tw_end_session_on_exit

tw_wineserver_kill
tw_start_xvfb 1280x1024x24
# The pointer rests in a corner of the screen outside Wine's desktop, over no window: a pointer
# left over a monitor's window would have it handle mouse messages the sample counts as its cost.
xdotool mousemove 1279 0 || tw_log "the pointer could not be moved aside"
# A desktop session loads X resources (the session scripts merge the system's, with xrdb) and a
# bare Xvfb has none. Without a resource database on the display, X's library looks for one in
# the home directory again on every lookup (two file opens and a uname), and Wine looks up its font
# smoothing defaults each time a font is selected into a device context of the display: every
# paint of every monitor then pays those three system calls, which no user's session does. The
# session gets the system's one resource line, as a desktop would.
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "*customization:"$'\t'"-color"$'\n' ||
  tw_log "the display's resource database could not be set"
# One wineserver for the whole session, kept when no program runs.
wineserver -p
win_loop="$(tw_winpath "$loop")"

tw_log "load before the session: $(cut -d' ' -f1-3 /proc/loadavg); other wineservers: $(pgrep -c -x 'wineserver|wineserver64|wineserver32' || true)"
session_seconds=$(( rounds * (12 + 4 * (${#against} > 0) + 2 * paused + 2 * mode_cost + 7 * pieces) * (settle + measure + 15) + 600 ))
wine "$loop" --windows "$load_windows" --processes "$load_processes" --seconds "$session_seconds" >/dev/null 2>&1 &
helpers_pid=$!
server_pid="$(for i in $(seq 1 40); do find_wineserver && break; sleep 0.25; done)" ||
  tw_die "the wineserver of $prefix was not found"
explorer_pid="$(wait_pid_of explorer.exe 30)" || tw_die "Wine's explorer did not start in $prefix"
wait_pid_of taskwell_benchloop.exe 30 >/dev/null || tw_die "the benchmark's windows did not open"
for _ in $(seq 1 $((load_processes + 60))); do
  [ "$(idle_processes)" -ge "$load_processes" ] && break
  sleep 1
done
[ "$(idle_processes)" -ge "$load_processes" ] ||
  tw_die "the load's $load_processes idle processes did not start (found $(idle_processes))"
tw_log "load: $load_processes idle processes and $load_windows windows of the benchmark's helper"
x_pid="$TW_XVFB_PID"
tw_log "wineserver $server_pid, explorer $explorer_pid, Xvfb $x_pid; $(wine --version)"
sleep 3

# Sample results: name -> "own server explorer x rss uss" per round, in percent and kB.
declare -A result
declare -A rows_of
idle_server=()

# Measures the processes for `measure` seconds; prints "own server explorer x" in percent of a core
# (own is "-" without a monitor).
take_sample() {
  local pid="$1" t0 t1 a0 a1 s0 s1 e0 e1 x0 x1
  t0="$(now)"
  a0="$([ -n "$pid" ] && cpu_ns "$pid" || echo 0)"
  s0="$(cpu_ns "$server_pid")"; e0="$(cpu_ns "$explorer_pid")"; x0="$(cpu_ns "$x_pid")"
  sleep "$measure"
  a1="$([ -n "$pid" ] && cpu_ns "$pid" || echo 0)"
  s1="$(cpu_ns "$server_pid")"; e1="$(cpu_ns "$explorer_pid")"; x1="$(cpu_ns "$x_pid")"
  t1="$(now)"
  if [ -z "$a1" ] || [ -z "$s1" ] || [ -z "$e1" ] || [ -z "$x1" ]; then return 1; fi
  awk -v t0="$t0" -v t1="$t1" -v own="$([ -n "$pid" ] && echo 1 || echo 0)" \
    -v a="$((a1 - a0))" -v s="$((s1 - s0))" -v e="$((e1 - e0))" -v x="$((x1 - x0))" \
    'function pc(n) { return sprintf("%.3f", n / 1e9 / (t1 - t0) * 100) }
     BEGIN { print (own ? pc(a) : "-"), pc(s), pc(e), pc(x) }'
}

# Settles, measures the running process <pid> and records the sample as <label> of <round>;
# false when the process ended during its sample.
#   record_sample <label> <round> <pid>
record_sample() {
  local figures rss uss
  sleep "$settle"
  figures="$(take_sample "$3")" || return 1
  rss="$(rss_kb "$3")"
  uss="$(uss_kb "$3")"
  result["$1/$2"]="$figures ${rss:-0} ${uss:-0}"
}

# Runs one monitor sample: starts the program, selects the page (and minimises the window when
# <minimise> is 1), settles, measures, closes it.
#   monitor_sample <label> <round> <exe name> <tab index> <minimise> <start command...>
monitor_sample() {
  local label="$1" round="$2" name="$3" tab="$4" minimise="$5" pid picked
  shift 5
  "$@" >/dev/null 2>&1 &
  if ! pid="$(wait_pid_of "$name" 30)"; then
    tw_log "$label: $name did not start"
    failed=1
    return 0
  fi
  if ! picked="$(timeout 60 wine "$loop" --select-tab "$name" "$tab" 30000 2>&1)"; then
    tw_log "$label: the page was not selected: $picked"
    failed=1
  fi
  rows_of["$label"]="$(sed -n 's/.*shows \(-\?[0-9]*\) rows.*/\1/p' <<<"$picked" | tail -n 1)"
  if [ "$minimise" = 1 ] && ! picked="$(timeout 60 wine "$loop" --minimize "$name" 30000 2>&1)"; then
    tw_log "$label: the window was not minimised: $picked"
    failed=1
  fi
  if ! record_sample "$label" "$round" "$pid"; then
    tw_log "$label: $name ended during its sample"
    failed=1
  fi
  timeout 30 wine "$loop" --close "$name" 15000 >/dev/null 2>&1 || true
  for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
  kill -9 "$pid" 2>/dev/null || true
  sleep 1
}

# Taskwell of this build, or of the --against build when <build> is "other".
#   taskwell_sample <label> <round> <page> <speed> [<minimise> [<build>]]
taskwell_sample() {
  local label="$1" round="$2" page="$3" speed="$4" minimise="${5:-0}" dir="$build_dir"
  [ "${6:-this}" = this ] || dir="$against"
  timeout 60 wine "$loop" --seed-taskwell "$page" "$speed" >/dev/null 2>&1 ||
    { tw_log "cannot store Taskwell's settings"; failed=1; }
  monitor_sample "$label" "$round" taskwell.exe "$page" "$minimise" \
    bash -c 'cd "$1" && exec wine taskwell.exe' _ "$dir"
}

# Taskwell in one state, and with --against the other build in the same state, in the round's
# order (this build first in odd rounds).
#   taskwell_pair <state> <round> <page> <minimise>
taskwell_pair() {
  local state="$1" round="$2" page="$3" minimise="$4" b
  local builds=(this)
  if [ -n "$against" ]; then
    if ((round % 2)); then builds=(this other); else builds=(other this); fi
  fi
  for b in "${builds[@]}"; do
    if [ "$b" = this ]; then
      taskwell_sample "Taskwell $state" "$round" "$page" Normal "$minimise"
    else
      taskwell_sample "other build $state" "$round" "$page" Normal "$minimise" other
    fi
  done
}

taskmgr_sample() {
  local label="$1" round="$2" tab="$3"
  monitor_sample "$label" "$round" taskmgr.exe "$tab" 0 wine taskmgr
}

idle_sample() {
  local round="$1" figures
  sleep "$settle"
  figures="$(take_sample "")" || { tw_log "idle: a Wine process ended"; failed=1; return 0; }
  result["idle/$round"]="$figures 0"
}

# The bare loop, alone or with pieces of a monitor's work (taskwell_benchloop.exe --with), or a
# page's floor (floor:<page>), told to report <version> (as Taskwell is told win98) when one is given.
#   loop_sample <label> <round> [<pieces> | floor:<page> [<version>]]
loop_sample() {
  local label="$1" round="$2" pieces="${3:-}" version="${4:-}" pid="" p
  local args=(--seconds "$((settle + measure + 10))")
  local defaults='HKCU\Software\Wine\AppDefaults\taskwell_benchloop.exe'
  case "$pieces" in
  "") ;;
  floor:*) args+=(--floor "${pieces#floor:}") ;;
  *) args+=(--with "$pieces") ;;
  esac
  if [ -n "$version" ]; then
    wine reg add "$defaults" /v Version /d "$version" /f >/dev/null 2>&1 ||
      { tw_log "$label: the version was not set"; failed=1; return 0; }
  fi
  wine "$loop" "${args[@]}" >/dev/null 2>&1 &
  # The version is read when the program starts: the key can go once it runs.
  [ -z "$version" ] || { sleep 2; wine reg delete "$defaults" /f >/dev/null 2>&1 || true; }
  sleep 1
  # The window process of the session runs the same program: the loop is the one with --seconds first.
  for _ in $(seq 1 40); do
    for p in /proc/[0-9]*; do
      p="${p#/proc/}"
      [ "$(args_of "$p" | sed -n 2p)" = "--seconds" ] || continue
      in_prefix "$p" || continue
      [ "$(args_of "$p" | head -n 1)" = "$loop" ] && pid="$p"
    done
    [ -n "$pid" ] && break
    sleep 0.25
  done
  [ -n "$pid" ] || { tw_log "$label: the loop did not start"; failed=1; return 0; }
  if ! record_sample "$label" "$round" "$pid"; then
    tw_log "$label: the loop ended during its sample"
    failed=1
  fi
  for _ in $(seq 1 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
}

pages=(Applications Processes Performance)
states=("${pages[@]}" "in the tray")
labels=("idle")
for page in "${pages[@]}"; do
  labels+=("Taskwell $page")
  [ -z "$against" ] || labels+=("other build $page")
  [ "$taskwell_only" = 1 ] || labels+=("taskmgr $page" "floor $page")
done
labels+=("Taskwell in the tray")
[ -z "$against" ] || labels+=("other build in the tray")
[ "$taskwell_only" = 1 ] || labels+=("floor in the tray")
[ "$mode_cost" = 1 ] && labels+=("bare loop" "bare loop as Windows 98")
[ "$paused" = 1 ] && labels+=("Taskwell Applications Paused" "Taskwell Processes Paused")
piece_list=(stats perfinfo snapshot scan probe tray)
if [ "$pieces" = 1 ]; then
  for piece in "${piece_list[@]}"; do labels+=("loop + $piece"); done
fi

print_round() {
  local round="$1" label f
  printf '\nRound %d (load %s)\n' "$round" "$(cut -d' ' -f1-3 /proc/loadavg)"
  printf '  %-30s %9s %9s %11s %9s %9s %9s %9s %5s\n' sample "own CPU%" "server%" "srv>idle%" "explorer%" "X%" \
    "RSS MB" "USS MB" rows
  for label in "${labels[@]}"; do
    f="${result["$label/$round"]:-}"
    [ -n "$f" ] || { printf '  %-30s %s\n' "$label" "(no sample)"; continue; }
    awk -v l="$label" -v idle="${idle_server[$round]:-0}" -v rows="${rows_of["$label"]:--}" '
      function mb(k) { return k > 0 ? sprintf("%.1f", k / 1024) : "-" }
      { own=$1; printf "  %-30s %9s %9.3f %11.3f %9.3f %9.3f %9s %9s %5s\n", l, own, $2, $2-idle, $3, $4,
          mb($5), mb($6), (l ~ /^(idle|bare loop|loop|floor)/ ? "-" : rows) }' <<<"$f"
  done
}

tw_log "$rounds rounds, each sample ${measure} s after ${settle} s"
for ((r = 1; r <= rounds; r++)); do
  idle_sample "$r"
  idle_server[$r]="$(awk '{ print $2 }' <<<"${result["idle/$r"]:-- 0}")"
  for ((p = 0; p < ${#pages[@]}; p++)); do
    page="${pages[$p]}"
    taskwell_pair "$page" "$r" "$p" 0
    [ "$taskwell_only" = 1 ] && continue
    taskmgr_sample "taskmgr $page" "$r" "$p"
    loop_sample "floor $page" "$r" "floor:${page,,}" win98
  done
  taskwell_pair "in the tray" "$r" 0 1
  [ "$taskwell_only" = 1 ] || loop_sample "floor in the tray" "$r" floor:tray win98
  if [ "$mode_cost" = 1 ]; then
    loop_sample "bare loop" "$r"
    loop_sample "bare loop as Windows 98" "$r" "" win98
  fi
  if [ "$paused" = 1 ]; then
    taskwell_sample "Taskwell Applications Paused" "$r" 0 Paused
    taskwell_sample "Taskwell Processes Paused" "$r" 1 Paused
  fi
  if [ "$pieces" = 1 ]; then
    for piece in "${piece_list[@]}"; do loop_sample "loop + $piece" "$r" "$piece"; done
  fi
  print_round "$r"
done

# ---- Medians and ratios ---------------------------------------------------------------------

# The middle of the values on standard input, one a line (the mean of the two middle ones of an even
# count); "-" when there are none or one of them is "-" (a sample that has no such figure).
middle_of() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (!NR || v[1] == "-") { print "-"; exit }
    print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# The median of column <n> (1 own, 2 server, 3 explorer, 4 X, 5 RSS, 6 USS, 7 server above idle) of
# a sample.
median() {
  local label="$1" col="$2" r f values=()
  for ((r = 1; r <= rounds; r++)); do
    f="${result["$label/$r"]:-}"
    [ -n "$f" ] || continue
    values+=("$(awk -v c="$col" -v idle="${idle_server[$r]:-0}" '{ print (c == 7 ? $2 - idle : $c) }' <<<"$f")")
  done
  [ ${#values[@]} -gt 0 ] || { echo "-"; return 0; }
  printf '%s\n' "${values[@]}" | middle_of
}

printf '\nMedians over %d rounds (percent of one core; memory in MB)\n' "$rounds"
printf '  %-30s %9s %9s %11s %9s %9s %9s %9s\n' sample "own CPU%" "server%" "srv>idle%" "explorer%" "X%" "RSS MB" "USS MB"
declare -A med
for label in "${labels[@]}"; do
  for c in 1 2 3 4 5 6 7; do med["$label/$c"]="$(median "$label" "$c")"; done
  awk -v l="$label" -v a="${med["$label/1"]}" -v s="${med["$label/2"]}" -v e="${med["$label/3"]}" \
    -v x="${med["$label/4"]}" -v m="${med["$label/5"]}" -v u="${med["$label/6"]}" -v i="${med["$label/7"]}" '
    function mb(k) { return k > 0 ? sprintf("%.1f", k / 1024) : "-" }
    BEGIN {
      printf "  %-30s %9s %9.3f %11.3f %9.3f %9.3f %9s %9s\n", l, (a == "-" ? "-" : sprintf("%.3f", a)), s, i, e, x,
        mb(m), mb(u) }'
done

ratio_line() {
  # ratio_line <what> <numerator> <denominator> <target>
  awk -v w="$1" -v n="$2" -v d="$3" -v t="$4" 'BEGIN {
    if (n == "-" || d == "-" || d + 0 <= 0) { printf "  %-56s %8s   (target <= %s)\n", w, "n/a", t; exit }
    r = n / d; printf "  %-56s %8.2f   (target <= %s: %s)\n", w, r, t, (r <= t ? "met" : "not met") }'
}

# The median over the rounds of one round's ratio <label a> / <label b> in column <n> (as median's).
paired_median() {
  local a="$1" b="$2" col="$3" r fa fb values=()
  for ((r = 1; r <= rounds; r++)); do
    fa="${result["$a/$r"]:-}"
    fb="${result["$b/$r"]:-}"
    [ -n "$fa" ] && [ -n "$fb" ] || continue
    values+=("$(awk -v c="$col" -v idle="${idle_server[$r]:-0}" -v fb="$fb" 'BEGIN { split(fb, g, " ") }
      { x = (c == 7 ? $2 - idle : $c); y = (c == 7 ? g[2] - idle : g[c])
        print (y > 0 ? x / y : "-") }' <<<"$fa")")
  done
  # A round whose other build has no figure gives no ratio and is left out.
  printf '%s\n' "${values[@]}" | grep -v '^-$' | middle_of
}

if [ -n "$against" ]; then
  printf '\nThis build (%s) against %s\n' "$build_dir" "$against"
  printf '(medians over the rounds; "ratio": of the medians, "paired": the median of each round'"'"'s own ratio)\n'
  printf '  %-14s %-16s %9s %9s %7s %7s\n' state figure this other ratio paired
  for state in "${states[@]}"; do
    for c in 1 7 3 5 6; do
      case "$c" in 1) what="own CPU %" ;; 7) what="srv>idle %" ;; 3) what="explorer %" ;; 5) what="RSS MB" ;; 6) what="USS MB" ;; esac
      awk -v s="$state" -v w="$what" -v c="$c" -v a="${med["Taskwell $state/$c"]}" \
        -v b="${med["other build $state/$c"]}" -v p="$(paired_median "Taskwell $state" "other build $state" "$c")" '
        function f(v) { return v == "-" ? "-" : (c == 5 || c == 6 ? sprintf("%.1f", v / 1024) : sprintf("%.3f", v)) }
        BEGIN { printf "  %-14s %-16s %9s %9s %7s %7s\n", s, w, f(a), f(b),
          (a == "-" || b == "-" || b + 0 <= 0 ? "n/a" : sprintf("%.2f", a / b)), (p == "-" ? "n/a" : sprintf("%.2f", p)) }'
    done
  done
fi

if [ "$taskwell_only" = 0 ]; then
  printf '\nRatios (medians; load %s processes x %s windows)\n' "$load_processes" "$load_windows"
  for page in "${pages[@]}"; do
    tw="Taskwell $page"
    tm="taskmgr $page"
    ratio_line "$page: Taskwell own CPU / taskmgr own CPU" "${med["$tw/1"]}" "${med["$tm/1"]}" 0.3
    ratio_line "$page: Taskwell own CPU / the page's floor" "${med["$tw/1"]}" "${med["floor $page/1"]}" 1.25
    ratio_line "$page: Taskwell wineserver above idle / taskmgr's" "${med["$tw/7"]}" "${med["$tm/7"]}" 0.5
    ratio_line "$page: Taskwell RSS / taskmgr RSS" "${med["$tw/5"]}" "${med["$tm/5"]}" 1
    ratio_line "$page: Taskwell USS / taskmgr USS" "${med["$tw/6"]}" "${med["$tm/6"]}" 1
  done
  ratio_line "In the tray: Taskwell own CPU / its floor" "${med["Taskwell in the tray/1"]}" "${med["floor in the tray/1"]}" 1.25
fi
if [ "$mode_cost" = 1 ]; then
  awk -v a="${med["bare loop as Windows 98/5"]}" -v b="${med["bare loop/5"]}" 'BEGIN {
    if (a == "-" || b == "-") exit
    printf "  %-56s %8.1f MB (the bare loop as Windows 98 against the bare loop)\n", "Resident memory of the Windows 98 mode", (a - b) / 1024 }'
fi

if [ "$pieces" = 1 ]; then
  printf '\nPieces at the Normal pace: milliseconds of processor time per 1750 ms pass, above the bare loop (medians)\n'
  printf '  %-22s %9s %11s %11s %9s\n' piece own wineserver explorer X
  for piece in "${piece_list[@]}"; do
    l="loop + $piece"
    awk -v p="$piece" -v a="${med["$l/1"]}" -v s="${med["$l/2"]}" -v e="${med["$l/3"]}" -v x="${med["$l/4"]}" \
      -v a0="${med["bare loop/1"]}" -v s0="${med["bare loop/2"]}" -v e0="${med["bare loop/3"]}" \
      -v x0="${med["bare loop/4"]}" 'function ms(v, b) { return sprintf("%.2f", (v - b) / 100 * 1750) }
      BEGIN { if (a == "-") { printf "  %-22s (no sample)\n", p; exit }
        printf "  %-22s %9s %11s %11s %9s\n", p, ms(a, a0), ms(s, s0), ms(e, e0), ms(x, x0) }'
  done
  printf '  (the bare loop itself: %s ms own, %s ms wineserver per pass)\n' \
    "$(awk -v a="${med["bare loop/1"]}" 'BEGIN { printf "%.2f", a / 100 * 1750 }')" \
    "$(awk -v s="${med["bare loop/2"]}" -v i="${med["idle/2"]}" 'BEGIN { printf "%.2f", (s - i) / 100 * 1750 }')"
fi

# ---- Single calls -----------------------------------------------------------------------------

if [ "$calls" = 1 ]; then
  printf '\nCosts of single calls under Wine (microseconds per call; processor time of each process)\n'
  if out="$(timeout 900 wine "$loop" --time-calls "$call_seconds" "$server_pid" "$x_pid" "$explorer_pid" "$hz" 2>&1)"; then
    grep '^INFO' <<<"$out" | sed 's/^INFO\t/  /'
    grep '^CALL' <<<"$out" | sed 's/^CALL\t//' | column -t -s $'\t' | sed 's/^/  /'
  else
    tw_log "the single calls were not timed: $(tail -n 3 <<<"$out")"
    failed=1
  fi
fi

tw_log "load after the session: $(cut -d' ' -f1-3 /proc/loadavg)"
kill "$helpers_pid" 2>/dev/null || true
exit "$failed"
