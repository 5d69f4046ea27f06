#!/usr/bin/env bash
# Makes the package a user downloads: build/dist/taskwell-<version>.zip, holding the 32-bit release
# taskwell.exe and README.TXT, the read-me for Windows users (docs/package-readme.txt with CRLF line
# ends), and nothing else.
#
#   bash scripts/package.sh                      installs what is missing, builds build/win32 and
#                                                writes build/dist/taskwell-<version>.zip
#   bash scripts/package.sh --exe <exe> --out <dir>
#                                                packs that exe into <dir>/taskwell-<version>.zip,
#                                                with no install and no build (the tests do this)
#
# The version is the "FileVersion" text of the exe's own version resource (resources/taskwell.rc),
# the text the About box shows, so the name always says what the zip holds. Prints the zip's path.
set -euo pipefail

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/setup.sh"

# What packing needs beyond the cross build: the version is read with binutils' strings.
TW_PACKAGE_TOOLS=(cmake g++-mingw-w64-i686 mingw-w64-i686-dev binutils zip)
TW_PACKAGE_README="$TW_ROOT/docs/package-readme.txt"

# The "FileVersion" text of the version resource of exe $1 (block 040904E4). The resource's texts
# are UTF-16: strings lists each on a line of its own, a name followed by its value.
tw_file_version() {
  strings -e l -n 1 "$1" | sed -n '/^040904E4$/,$p' | sed -n '/^FileVersion$/{n;p;q}'
}

# Writes <dir>/taskwell-<version>.zip from exe $1 into directory $2 and prints its path.
tw_pack() {
  local exe="$1" out="$2" version staging zip
  [ -f "$exe" ] || tw_die "no such program: $exe"
  version="$(tw_file_version "$exe")"
  [[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] ||
    tw_die "$exe has no version resource with a FileVersion of numbers (read \"$version\")"
  mkdir -p "$out"
  staging="$(mktemp -d "$out/.staging.XXXXXX")"
  # The read-me's line ends become CRLF whatever the checkout did to them.
  sed -e 's/\r$//' -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$TW_PACKAGE_README" >"$staging/README.TXT"
  cp "$exe" "$staging/taskwell.exe"
  # zip adds to an archive that exists, so a new one is made beside it and moved over it.
  (cd "$staging" && zip -q -X -9 package.zip taskwell.exe README.TXT)
  zip="$out/taskwell-$version.zip"
  mv -f "$staging/package.zip" "$zip"
  rm -rf "$staging"
  printf '%s\n' "$zip"
}

if [ "${1:-}" = "--exe" ]; then
  [ $# -eq 4 ] && [ "$3" = "--out" ] || tw_die "usage: $0 [--exe <taskwell.exe> --out <dir>]"
  command -v zip >/dev/null 2>&1 || tw_die "zip is not installed (bash scripts/setup.sh installs it)"
  tw_pack "$2" "$4"
  exit 0
fi
[ $# -eq 0 ] || tw_die "usage: $0 [--exe <taskwell.exe> --out <dir>]"

tw_install_packages "${TW_PACKAGE_TOOLS[@]}"
tw_build_windows win32 taskwell
zip="$(tw_pack "$TW_ROOT/build/win32/taskwell.exe" "$TW_ROOT/build/dist")"
tw_log "package written: ${zip#"$TW_ROOT"/} ($(stat -c %s "$zip") bytes)"
printf '%s\n' "$zip"
