#!/usr/bin/env bash
# Runs all of Taskwell's tests: the native unit and scenario tests, and the end-to-end test
# that drives taskwell.exe under Wine (CTest label e2e).
#
# Installs what is missing, builds build/win32 (taskwell.exe and the e2e driver) and
# build/native (tests), prepares the e2e Wine prefix, then runs CTest in build/native. On a
# machine that cannot run 32-bit programs the Wine tests run the 64-bit test build, build/win64,
# and say so (scripts/setup.sh, the Wine mode); the 32-bit taskwell.exe is still built and its
# import table and header are checked.
# Exit code: CTest's (non-zero when any test failed). Full log: build/test.log.
# Arguments are passed on to ctest (for example -L e2e, or -LE e2e to skip Wine).
set -euo pipefail

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/setup.sh"

t0=$SECONDS
tw_install_deps
tw_build_win32
tw_build_wine_programs
wine_build="$(tw_wine_build_dir)"
[ -f "$wine_build/tests/e2e/taskwell_e2e.exe" ] ||
  tw_die "$wine_build/tests/e2e/taskwell_e2e.exe was not produced"
tw_build_native
tw_prefix_setup "$(tw_default_e2e_prefix)"
tw_log "builds and prefix ready in $((SECONDS - t0)) s; running ctest"

log="$TW_ROOT/build/test.log"
rc=0
ctest --test-dir "$TW_ROOT/build/native" --output-on-failure --no-tests=error -j "$(tw_jobs)" "$@" 2>&1 |
  tee "$log" || rc=$?

# CTest's verdict again, after the (possibly long) output of failed tests.
echo
echo "================ test summary ================"
grep -E '^[0-9]+% tests passed|^Label Time Summary|^ *(native|e2e|win64-test-build) *=|^Total Test time' "$log" || true
if [ "$TW_WINE_MODE" = win64 ]; then
  echo "Wine tests (wine64_*) ran the 64-bit test build, build/win64, not the 32-bit taskwell.exe:"
  echo "  $TW_WINE_MODE_WHY."
  echo "  The 32-bit build/win32/taskwell.exe was built and checked statically (exe_imports, exe_header)."
else
  echo "Wine tests ran the 32-bit program, build/win32/taskwell.exe: $TW_WINE_MODE_WHY."
fi
if grep -q 'The following tests FAILED' "$log"; then
  sed -n '/The following tests FAILED/,$p' "$log" | grep -v '^Errors while running CTest' || true
fi
[ -d "$TW_ROOT/build/native/e2e-artifacts" ] &&
  echo "e2e screenshots: $TW_ROOT/build/native/e2e-artifacts"
echo "total time: $((SECONDS - t0)) s; log: $log"
exit "$rc"
