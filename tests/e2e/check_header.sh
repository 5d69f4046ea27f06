#!/usr/bin/env bash
# Checks the header of the product, the 32-bit taskwell.exe: what Windows 95 looks at before it
# starts a program at all.
#
#   check_header.sh <taskwell.exe>     exit 0 only when every field below holds
#
# - a PE32 image for the i386 (a PE32+ image, the 64-bit test build, is no Windows 95 program);
# - the Windows GUI subsystem (no console window opens with it);
# - subsystem and operating system version 4.0: Windows 95 refuses an image that asks for a later
#   subsystem version ("requires a newer version of Windows");
# - large-address aware: under Wine and on the NT family the memory status then carries figures above
#   2 GB (Windows 95/98 ignore the flag);
# - sections page-aligned in the file (file alignment 4096): Wine, like Windows 98, then maps the
#   image from the file and keeps only the pages that are used; an image aligned to 512 bytes it
#   reads into private memory whole.
# Reads the header with mingw's objdump (TASKWELL_OBJDUMP overrides the command).
set -euo pipefail

objdump="${TASKWELL_OBJDUMP:-i686-w64-mingw32-objdump}"
[ $# -eq 1 ] || { echo "usage: $0 <taskwell.exe>" >&2; exit 2; }
exe="$1"
[ -f "$exe" ] || { echo "FAIL: no such file: $exe (build the win32 build first)" >&2; exit 1; }
command -v "$objdump" >/dev/null 2>&1 || { echo "FAIL: $objdump not found (package binutils-mingw-w64-i686)" >&2; exit 1; }
header="$("$objdump" -p "$exe")" || { echo "FAIL: $objdump could not read $exe" >&2; exit 1; }

# The value of a field of the dump: its first word after the name.
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$header"; }

rc=0
# Each row: field | expected value | what it means.
while IFS='|' read -r name want meaning; do
  if [ "$name" = format ]; then
    got="$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$header" | head -n 1)"
  elif [ "$name" = Characteristics ]; then
    # The flags are listed one a line after the Characteristics line.
    got="$(sed -n '/^Characteristics/,/^$/p' <<<"$header" | grep -c "^[[:space:]]*$want\$" || true)"
    if [ "$got" = 1 ]; then got="$want"; else got="not among the flags"; fi
  else
    got="$(field "$name")"
  fi
  if [ "$got" = "$want" ]; then
    echo "PASS: $name $got ($meaning)"
  else
    echo "FAIL: $name is \"$got\", not $want ($meaning)"
    rc=1
  fi
done <<'ROWS'
format|pei-i386|a 32-bit i386 image
Magic|010b|PE32, not PE32+
Subsystem|00000002|the Windows GUI subsystem
MajorSubsystemVersion|4|subsystem version 4.0, which Windows 95 starts
MinorSubsystemVersion|0|subsystem version 4.0, which Windows 95 starts
MajorOSystemVersion|4|operating system version 4.0
Characteristics|large address aware|memory figures above 2 GB
FileAlignment|00001000|sections page-aligned in the file
ROWS
exit "$rc"
