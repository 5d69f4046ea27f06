#!/usr/bin/env bash
# Compares the functions taskwell.exe imports with the committed list of allowed imports.
#
#   check_imports.sh <taskwell.exe> <allowed-imports.txt>   exit 0 only when the two agree
#   check_imports.sh --list <taskwell.exe>                  print the exe's imports in the list's form
#
# Windows starts an exe only when every function its import table names exists in the named DLL:
# one import that Windows 95 lacks keeps the program from starting there at all. So every import
# is a decision, recorded in the list: a function the exe imports that is not listed fails, and so
# does a listed function it no longer imports (a stale entry would let that import come back
# unnoticed). A function Windows 95 lacks is looked up at run time instead
# (platform/win32/Win32SystemFunction.h).
#
# Reads the import table with mingw's objdump (TASKWELL_OBJDUMP overrides the command).
set -euo pipefail

objdump="${TASKWELL_OBJDUMP:-i686-w64-mingw32-objdump}"

usage() {
  echo "usage: $0 <taskwell.exe> <allowed-imports.txt> | --list <taskwell.exe>" >&2
  exit 2
}

# Prints "dll!function" for every import of exe $1, DLL names in lower case, sorted; an import by
# ordinal alone prints as "dll!#ordinal".
imports_of() {
  local out
  out="$("$objdump" -p "$1")" || {
    echo "FAIL: $objdump could not read $1" >&2
    return 1
  }
  # Entries follow their "DLL Name:" line, tab-indented: address, hint or ordinal, name. A line
  # that starts in the first column begins another section of the dump.
  awk '
    /^[^ \t]/ { dll = ""; next }
    /^\tDLL Name: / { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-fA-F]+\t/ {
      if ($3 == "" || $3 == "<none>") print dll "!#" $2
      else print dll "!" $3
    }' <<<"$out" | LC_ALL=C sort -u
}

# Prints the entries of list $1: comments (from "#") and blank lines dropped, DLL names in lower
# case, sorted. A line that is not "dll!function" stops the check.
allowed_in() {
  awk -v file="$1" '
    { sub(/#.*/, ""); gsub(/^[ \t]+|[ \t]+$/, "") }
    $0 == "" { next }
    !/^[^! \t]+![^! \t]+$/ { printf "FAIL: %s:%d: not dll!function: %s\n", file, NR, $0 > "/dev/stderr"; bad = 1; next }
    { n = index($0, "!"); print tolower(substr($0, 1, n - 1)) substr($0, n) }
    END { exit bad }' "$1" | LC_ALL=C sort -u
  return "${PIPESTATUS[0]}"
}

command -v "$objdump" >/dev/null 2>&1 ||
  { echo "FAIL: $objdump not found (package binutils-mingw-w64-i686, installed with g++-mingw-w64-i686)" >&2; exit 1; }

if [ "${1:-}" = "--list" ]; then
  [ $# -eq 2 ] || usage
  [ -f "$2" ] || { echo "FAIL: no such file: $2" >&2; exit 1; }
  imports_of "$2"
  exit
fi
[ $# -eq 2 ] || usage
exe="$1"
list="$2"
[ -f "$exe" ] || { echo "FAIL: no such file: $exe (build the win32 build first)" >&2; exit 1; }
[ -f "$list" ] || { echo "FAIL: no such file: $list" >&2; exit 1; }

imported="$(imports_of "$exe")"
allowed="$(allowed_in "$list")"
if [ -z "$imported" ]; then
  echo "FAIL: no imports found in $exe: the objdump output is not in the form expected" >&2
  exit 1
fi

unlisted="$(LC_ALL=C comm -23 <(echo "$imported") <(echo "$allowed"))"
stale="$(LC_ALL=C comm -13 <(echo "$imported") <(echo "$allowed"))"

rc=0
if [ -n "$unlisted" ]; then
  rc=1
  echo "FAIL: $(basename "$exe") imports $(wc -l <<<"$unlisted") function(s) not in $(basename "$list"):"
  sed 's/^/  /' <<<"$unlisted"
  echo "  If Windows 95 (with its own DLLs) has the function, add it to the list; if not, look it up"
  echo "  at run time (platform/win32/Win32SystemFunction.h) and keep a way to work without it."
fi
if [ -n "$stale" ]; then
  rc=1
  echo "FAIL: $(basename "$list") lists $(wc -l <<<"$stale") function(s) $(basename "$exe") no longer imports:"
  sed 's/^/  /' <<<"$stale"
  echo "  Remove them from the list, so that they cannot come back without a decision."
fi
if [ "$rc" -eq 0 ]; then
  echo "PASS: the $(wc -l <<<"$imported") imports of $(basename "$exe") from" \
    "$(cut -d'!' -f1 <<<"$imported" | sort -u | tr '\n' ' ')are exactly the allowed ones"
fi
exit "$rc"
