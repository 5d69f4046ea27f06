#!/usr/bin/env bash
# What Taskwell costs under Wine, measured against Wine's taskmgr (an NT-style task manager that
# ships with Wine, run as a black-box reference) and against a bare loop that makes only the
# queries every monitor's tick needs (a process snapshot walk and the memory status, every
# 1750 ms), all in one wineserver session of a prefix of its own, on a private Xvfb.
#
#   bash scripts/bench-wine.sh [options]
#
# Each round samples, one after another: idle (only Wine's own processes and the benchmark's
# windows), Taskwell on its Applications page, Wine's taskmgr on its Applications tab, Taskwell on
# Processes, Wine's taskmgr on Processes, the bare loop, and the bare loop told to report Windows 98
# as Taskwell is (what that mode alone costs: Wine then loads its 16-bit kernel into a program of
# the kind, not into its own built-in programs like taskmgr). Each monitor runs at its Normal update
# speed (Taskwell's is stored in its settings key before each start; Wine's taskmgr runs with its
# defaults), its page is selected by taskwell_benchloop.exe --select-tab, and after a settle the
# sample measures, from the host's /proc:
#   own CPU      utime + stime of the monitor's Wine process, in percent of one core
#   server       the wineserver's, in percent of one core; "above idle" subtracts the round's idle
#   explorer, X  Wine's desktop process (task bar, notification area) and the X server
#   RSS          the monitor's resident memory (VmRSS) at the end of the sample
# Four windows of the benchmark stay open through the session, so the Applications pages have rows.
# Then per round a table, the medians over the rounds, and the ratios against the targets:
# Taskwell's own CPU <= 0.5 x taskmgr's, its wineserver load above idle <= taskmgr's, its RSS <=
# taskmgr's, and its own CPU within 1.5 x the bare loop's. The targets are reported, not asserted.
# With --calls (the default) the costs of single platform calls under Wine follow
# (taskwell_benchloop.exe --time-calls).
#
# Options:
#   --rounds <n>      rounds (default 3)
#   --settle <s>      seconds between a start and its sample (default 5)
#   --measure <s>     seconds of each sample (default 30)
#   --paused          also sample Taskwell Paused on both pages (where the tick's time goes)
#   --pieces          also sample the bare loop with each piece of a monitor's work added
#                     (taskwell_benchloop.exe --with), and print each piece's cost per pass
#   --no-calls        leave out the costs of single calls
#   --call-seconds <s>  time spent on each single call (default 2)
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
pieces=0
calls=1
call_seconds=2
build=1
while [ $# -gt 0 ]; do
  case "$1" in
  --rounds) rounds="$2"; shift 2 ;;
  --settle) settle="$2"; shift 2 ;;
  --measure) measure="$2"; shift 2 ;;
  --paused) paused=1; shift ;;
  --pieces) pieces=1; shift ;;
  --calls) calls=1; shift ;;
  --no-calls) calls=0; shift ;;
  --call-seconds) call_seconds="$2"; shift 2 ;;
  --skip-build) build=0; shift ;;
  *) echo "unknown option: $1 (see the head of $0)" >&2; exit 2 ;;
  esac
done
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

now() { date +%s.%N; }

# ---- Session ----------------------------------------------------------------------------------

helpers_pid=""
failed=0
tw_end_session_on_exit

tw_wineserver_kill
tw_start_xvfb 1280x1024x24
# One wineserver for the whole session, kept when no program runs.
wineserver -p
win_loop="$(tw_winpath "$loop")"

tw_log "load before the session: $(cut -d' ' -f1-3 /proc/loadavg); other wineservers: $(pgrep -c -x 'wineserver|wineserver64|wineserver32' || true)"
session_seconds=$(( rounds * (7 + 2 * paused + 7 * pieces) * (settle + measure + 15) + 600 ))
wine "$loop" --windows 4 --seconds "$session_seconds" >/dev/null 2>&1 &
helpers_pid=$!
server_pid="$(for i in $(seq 1 40); do find_wineserver && break; sleep 0.25; done)" ||
  tw_die "the wineserver of $prefix was not found"
explorer_pid="$(wait_pid_of explorer.exe 30)" || tw_die "Wine's explorer did not start in $prefix"
wait_pid_of taskwell_benchloop.exe 30 >/dev/null || tw_die "the benchmark's windows did not open"
x_pid="$TW_XVFB_PID"
tw_log "wineserver $server_pid, explorer $explorer_pid, Xvfb $x_pid; $(wine --version)"
sleep 3

# Sample results: name -> "own server explorer x rss rows" per round, in percent and kB.
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
  local figures rss
  sleep "$settle"
  figures="$(take_sample "$3")" || return 1
  rss="$(rss_kb "$3")"
  result["$1/$2"]="$figures ${rss:-0}"
}

# Runs one monitor sample: starts the program, selects the page, settles, measures, closes it.
#   monitor_sample <label> <round> <exe name> <tab index> <start command...>
monitor_sample() {
  local label="$1" round="$2" name="$3" tab="$4" pid picked
  shift 4
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
  if ! record_sample "$label" "$round" "$pid"; then
    tw_log "$label: $name ended during its sample"
    failed=1
  fi
  timeout 30 wine "$loop" --close "$name" 15000 >/dev/null 2>&1 || true
  for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
  kill -9 "$pid" 2>/dev/null || true
  sleep 1
}

taskwell_sample() {
  local label="$1" round="$2" page="$3" speed="$4"
  timeout 60 wine "$loop" --seed-taskwell "$page" "$speed" >/dev/null 2>&1 ||
    { tw_log "cannot store Taskwell's settings"; failed=1; }
  monitor_sample "$label" "$round" taskwell.exe "$page" \
    bash -c 'cd "$1" && exec wine taskwell.exe' _ "$build_dir"
}

taskmgr_sample() {
  local label="$1" round="$2" tab="$3"
  monitor_sample "$label" "$round" taskmgr.exe "$tab" wine taskmgr
}

idle_sample() {
  local round="$1" figures
  sleep "$settle"
  figures="$(take_sample "")" || { tw_log "idle: a Wine process ended"; failed=1; return 0; }
  result["idle/$round"]="$figures 0"
}

# The bare loop, alone or with pieces of a monitor's work (taskwell_benchloop.exe --with), told to
# report <version> (as Taskwell is told win98) when one is given.
#   loop_sample <label> <round> [<pieces> [<version>]]
loop_sample() {
  local label="$1" round="$2" pieces="${3:-}" version="${4:-}" pid="" p
  local args=(--seconds "$((settle + measure + 10))")
  local defaults='HKCU\Software\Wine\AppDefaults\taskwell_benchloop.exe'
  [ -z "$pieces" ] || args+=(--with "$pieces")
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

labels=("idle" "Taskwell Applications" "taskmgr Applications" "Taskwell Processes" "taskmgr Processes" "bare loop"
  "bare loop as Windows 98")
[ "$paused" = 1 ] && labels+=("Taskwell Applications Paused" "Taskwell Processes Paused")
piece_list=(stats perfinfo snapshot scan probe tray)
if [ "$pieces" = 1 ]; then
  for piece in "${piece_list[@]}"; do labels+=("loop + $piece"); done
fi

print_round() {
  local round="$1" label f
  printf '\nRound %d (load %s)\n' "$round" "$(cut -d' ' -f1-3 /proc/loadavg)"
  printf '  %-30s %9s %9s %11s %9s %9s %9s %5s\n' sample "own CPU%" "server%" "srv>idle%" "explorer%" "X%" "RSS MB" rows
  for label in "${labels[@]}"; do
    f="${result["$label/$round"]:-}"
    [ -n "$f" ] || { printf '  %-30s %s\n' "$label" "(no sample)"; continue; }
    awk -v l="$label" -v idle="${idle_server[$round]:-0}" -v rows="${rows_of["$label"]:--}" '
      { own=$1; printf "  %-30s %9s %9.3f %11.3f %9.3f %9.3f %9s %5s\n", l, own, $2, $2-idle, $3, $4,
          ($5 > 0 ? sprintf("%.1f", $5/1024) : "-"), (l ~ /^(idle|bare loop|loop)/ ? "-" : rows) }' <<<"$f"
  done
}

tw_log "$rounds rounds, each sample ${measure} s after ${settle} s"
for ((r = 1; r <= rounds; r++)); do
  idle_sample "$r"
  idle_server[$r]="$(awk '{ print $2 }' <<<"${result["idle/$r"]:-- 0}")"
  taskwell_sample "Taskwell Applications" "$r" 0 Normal
  taskmgr_sample "taskmgr Applications" "$r" 0
  taskwell_sample "Taskwell Processes" "$r" 1 Normal
  taskmgr_sample "taskmgr Processes" "$r" 1
  loop_sample "bare loop" "$r"
  loop_sample "bare loop as Windows 98" "$r" "" win98
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

# The median of column <n> (1 own, 2 server, 3 explorer, 4 X, 5 RSS, 6 server above idle) of a sample.
median() {
  local label="$1" col="$2" r f values=()
  for ((r = 1; r <= rounds; r++)); do
    f="${result["$label/$r"]:-}"
    [ -n "$f" ] || continue
    values+=("$(awk -v c="$col" -v idle="${idle_server[$r]:-0}" '{ print (c == 6 ? $2 - idle : $c) }' <<<"$f")")
  done
  [ ${#values[@]} -gt 0 ] || { echo "-"; return 0; }
  printf '%s\n' "${values[@]}" | sort -g | awk '{ v[NR] = $1 } END {
    if (v[1] == "-") { print "-"; exit }
    print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

printf '\nMedians over %d rounds (percent of one core; RSS in MB)\n' "$rounds"
printf '  %-30s %9s %9s %11s %9s %9s %9s\n' sample "own CPU%" "server%" "srv>idle%" "explorer%" "X%" "RSS MB"
declare -A med
for label in "${labels[@]}"; do
  for c in 1 2 3 4 5 6; do med["$label/$c"]="$(median "$label" "$c")"; done
  awk -v l="$label" -v a="${med["$label/1"]}" -v s="${med["$label/2"]}" -v e="${med["$label/3"]}" \
    -v x="${med["$label/4"]}" -v m="${med["$label/5"]}" -v i="${med["$label/6"]}" 'BEGIN {
      printf "  %-30s %9s %9.3f %11.3f %9.3f %9.3f %9s\n", l, (a == "-" ? "-" : sprintf("%.3f", a)), s, i, e, x,
        (m > 0 ? sprintf("%.1f", m / 1024) : "-") }'
done

ratio_line() {
  # ratio_line <what> <numerator> <denominator> <target>
  awk -v w="$1" -v n="$2" -v d="$3" -v t="$4" 'BEGIN {
    if (n == "-" || d == "-" || d + 0 <= 0) { printf "  %-52s %8s   (target <= %s)\n", w, "n/a", t; exit }
    r = n / d; printf "  %-52s %8.2f   (target <= %s: %s)\n", w, r, t, (r <= t ? "met" : "not met") }'
}

printf '\nRatios (medians)\n'
for page in Applications Processes; do
  tw="Taskwell $page"
  tm="taskmgr $page"
  ratio_line "$page: Taskwell own CPU / taskmgr own CPU" "${med["$tw/1"]}" "${med["$tm/1"]}" 0.5
  ratio_line "$page: Taskwell wineserver above idle / taskmgr's" "${med["$tw/6"]}" "${med["$tm/6"]}" 1
  ratio_line "$page: Taskwell RSS / taskmgr RSS" "${med["$tw/5"]}" "${med["$tm/5"]}" 1
  ratio_line "$page: Taskwell own CPU / bare loop own CPU" "${med["$tw/1"]}" "${med["bare loop/1"]}" 1.5
done
awk -v a="${med["bare loop as Windows 98/5"]}" -v b="${med["bare loop/5"]}" 'BEGIN {
  if (a == "-" || b == "-") exit
  printf "  %-52s %8.1f MB (the bare loop as Windows 98 against the bare loop)\n", "Resident memory of the Windows 98 mode", (a - b) / 1024 }'


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
